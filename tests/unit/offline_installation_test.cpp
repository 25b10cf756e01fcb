// Finding a Windows installation under a mounted root: its Windows folder, hives, profiles and
// temporary folders in the layouts of 2000/XP, of Vista and later, of NT 4.0, and of 95/98/Me.
#include <gtest/gtest.h>

#include <filesystem>

#include "offline/hive_builder.h"
#include "offline/installation_tree.h"
#include "platform/offline/installation.h"

namespace {

using offline_test::InstallationTree;
using offline_test::Layout;
using platform::offline::findInstallation;
using platform::offline::FindOptions;
using platform::offline::Installation;
using platform::offline::InstallationKind;
using platform::offline::RootedTree;

Installation find(const InstallationTree& tree, const std::string& windowsFolder = "") {
  RootedTree rooted;
  EXPECT_TRUE(rooted.open(tree.root().c_str()));
  FindOptions options;
  options.windowsFolder = windowsFolder;
  return findInstallation(rooted, options);
}

// Whether `texts` has one that holds every one of `parts`.
bool saysAll(const std::vector<std::string>& texts, std::initializer_list<std::string> parts) {
  for (const std::string& text : texts) {
    bool all = true;
    for (const std::string& part : parts) all = all && text.find(part) != std::string::npos;
    if (all) return true;
  }
  return false;
}

std::string lines(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "\n";
  return joined;
}

std::vector<std::string> folders(const Installation& installation) {
  std::vector<std::string> seen;
  for (const auto& user : installation.users) seen.push_back(user.folder);
  return seen;
}

TEST(OfflineInstallation, TwoThousandAndXpKeepProfilesInDocumentsAndSettings) {
  InstallationTree tree(Layout::kXp);
  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(found.windowsFolder, "WINDOWS");
  EXPECT_EQ(found.configFolder, R"(WINDOWS\system32\config)");
  EXPECT_EQ(found.softwareHive, "SOFTWARE");
  EXPECT_EQ(found.systemHive, "SYSTEM");
  EXPECT_EQ(found.defaultHive, "DEFAULT");
  EXPECT_EQ(found.windowsTemp, R"(WINDOWS\Temp)");
  // "All Users" has neither a hive nor a temporary folder: it is no user.
  ASSERT_EQ(folders(found), (std::vector<std::string>{R"(Documents and Settings\alice)",
                                                      R"(Documents and Settings\bob)"}));
  EXPECT_EQ(found.users[1].hiveName, "NTUSER.DAT");
  EXPECT_EQ(found.users[1].tempFolder, R"(Documents and Settings\bob\Local Settings\Temp)");
}

TEST(OfflineInstallation, LaterVersionsKeepProfilesInUsersAndTheOldNameIsALinkPassedOver) {
  InstallationTree tree(Layout::kSeven);
  // Names as a user or an installer may have spelt them.
  std::filesystem::rename(tree.host(tree.userHive("alice")),
                          tree.host(tree.profileFolder("alice") + "\\ntuser.dat"));
  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(found.windowsFolder, "Windows");
  EXPECT_EQ(found.configFolder, R"(Windows\System32\config)");
  ASSERT_EQ(folders(found), (std::vector<std::string>{R"(Users\alice)", R"(Users\bob)"}));
  EXPECT_EQ(found.users[0].hiveName, "ntuser.dat");
  EXPECT_EQ(found.users[0].tempFolder, R"(Users\alice\AppData\Local\Temp)");
  EXPECT_EQ(found.notes, (std::vector<std::string>{}));
}

TEST(OfflineInstallation, NtFourKeepsProfilesInTheWindowsFolder) {
  InstallationTree tree(Layout::kXp, {});
  std::filesystem::rename(tree.host("WINDOWS"), tree.host("WINNT"));
  tree.addFile(R"(WINNT\Profiles\carol\NTUSER.DAT)", "hive");
  tree.addFolder(R"(WINNT\Profiles\All Users\Start Menu)");
  // A profile that is a link is not followed, and said so.
  std::filesystem::create_directory_symlink("/tmp", tree.host(R"(WINNT\Profiles\mallory)"));

  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(found.windowsFolder, "WINNT");
  ASSERT_EQ(folders(found), (std::vector<std::string>{R"(WINNT\Profiles\carol)"}));
  EXPECT_EQ(found.users[0].tempFolder, "");
  ASSERT_EQ(found.notes.size(), 1u);
  EXPECT_EQ(found.notes[0], R"(C:\WINNT\Profiles\mallory: a symbolic link, not followed)");
}

TEST(OfflineInstallation, NinetyFiveToMeIsRecognisedByItsRegistryFiles) {
  InstallationTree tree(Layout::kNineX);
  Installation found = find(tree);
  EXPECT_EQ(found.kind, InstallationKind::kWindows9x);
  EXPECT_EQ(found.windowsFolder, "WINDOWS");
  EXPECT_EQ(found.windowsTemp, R"(WINDOWS\TEMP)");
  EXPECT_TRUE(found.users.empty());
}

TEST(OfflineInstallation, WhatIsNotOneWindowsInstallationIsRefusedWithAReason) {
  {
    InstallationTree tree(Layout::kNineX);
    std::filesystem::remove(tree.host(R"(WINDOWS\SYSTEM.DAT)"));
    Installation found = find(tree);
    EXPECT_EQ(found.kind, InstallationKind::kNotWindows);
    EXPECT_EQ(found.problem, "no Windows folder (WINDOWS or WINNT) with a registry under the root");
  }
  {
    // The Windows folder itself a link, even to a real installation: not followed.
    InstallationTree real(Layout::kXp);
    InstallationTree tree(Layout::kNineX);
    std::filesystem::remove_all(tree.host("WINDOWS"));
    std::filesystem::create_directory_symlink(real.host("WINDOWS"), tree.host("WINDOWS"));
    Installation found = find(tree);
    EXPECT_EQ(found.kind, InstallationKind::kNotWindows);
    EXPECT_EQ(found.notes,
              std::vector<std::string>{R"(C:\WINDOWS: a symbolic link, not followed)"});
  }
}

// --- The installation's own settings ---

TEST(OfflineInstallation, ProfilesComeFromProfileListAndTheLayoutEachFolderOnce) {
  InstallationTree tree(Layout::kXp);
  // Elsewhere on C:, as a domain's roaming setup or an administrator may put one.
  tree.addFolder(R"(Data\Profiles\carol)");
  offline_test::writeHive(tree.host(R"(Data\Profiles\carol\NTUSER.DAT)"), [](hive_h*) {});
  tree.listProfile("S-1-5-21-77", R"(%SystemDrive%\Data\PROFILES\Carol\)");
  // Listed twice under different spellings: one profile.
  tree.listProfile("S-1-5-21-1004336348-1177238915-682003330-1003.bak",
                   R"(C:\DOCUMENTS AND SETTINGS\ALICE)");
  // Stored as UTF-16, spelt in UTF-8 on the mount.
  tree.addFolder("Data\\Zo\xC3\xAB\\Local Settings\\Temp");
  tree.listProfile("S-1-5-21-78", "C:\\Data\\Zo\xEB");
  // Laid out, not listed.
  tree.addFolder(R"(Documents and Settings\dave\Local Settings\Temp)");

  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(folders(found),
            (std::vector<std::string>{R"(Documents and Settings\alice)",
                                      R"(Documents and Settings\bob)", R"(Data\Profiles\carol)",
                                      "Data\\Zo\xC3\xAB", R"(Documents and Settings\dave)"}));
  EXPECT_EQ(found.users[0].listedAs, InstallationTree::sidOf(0));
  EXPECT_EQ(found.users[2].hiveName, "NTUSER.DAT");
  EXPECT_EQ(found.users[2].listedAs, "S-1-5-21-77");
  EXPECT_EQ(found.users[3].tempFolder, "Data\\Zo\xC3\xAB\\Local Settings\\Temp");
  EXPECT_EQ(found.users[4].listedAs, "");
  // Each user's TEMP and TMP name the layout's temporary folder: walked once.
  for (const auto& user : found.users) EXPECT_TRUE(user.environmentTemp.empty()) << user.folder;
  EXPECT_EQ(found.unreachable, std::vector<std::string>{});
  EXPECT_EQ(found.notes, std::vector<std::string>{});
  EXPECT_EQ(found.currentControlSet, "ControlSet001");
}

TEST(OfflineInstallation, EachUsersEnvironmentNamesMoreTemporaryFolders) {
  InstallationTree tree(Layout::kSeven);
  tree.addFolder(R"(Scratch\alice)");
  tree.setUserEnvironment("alice", "TEMP", R"(%SystemDrive%\Scratch\alice)");
  tree.setUserEnvironment("alice", "TMP", R"(C:\SCRATCH\ALICE)");
  tree.setUserEnvironment("bob", "TEMP", R"(%USERPROFILE%\Gone)");
  tree.setUserEnvironment("bob", "TMP", R"(E:\Temp)");

  Installation found = find(tree);
  ASSERT_EQ(found.users.size(), 2u);
  EXPECT_EQ(found.users[0].environmentTemp, std::vector<std::string>{R"(Scratch\alice)"});
  // Neither a folder that is not there (Windows may know it by a name the mount does not show)
  // nor one on another drive is walked: both are named.
  EXPECT_EQ(found.users[1].environmentTemp, std::vector<std::string>{});
  EXPECT_EQ(found.notes,
            (std::vector<std::string>{
                R"(C:\Users\bob\NTUSER.DAT: Environment\TEMP ("%USERPROFILE%\Gone"): )"
                R"(C:\Users\bob\Gone: not found; not walked)",
                R"(C:\Users\bob\NTUSER.DAT: Environment\TMP ("E:\Temp") is not walked: )"
                "it is on drive E:, not on the installation's drive C:"}));
}

TEST(OfflineInstallation, AListedProfileThatCannotBeReachedIsNamedAsUnreachable) {
  InstallationTree tree(Layout::kXp);
  std::filesystem::create_directory_symlink("/tmp", tree.host(R"(Documents and Settings\mallory)"));
  tree.listProfile("S-1-5-21-10", R"(%SystemDrive%\Documents and Settings\carol)");
  tree.listProfile("S-1-5-21-11", R"(D:\Profiles\dave)");
  tree.listProfile("S-1-5-21-12", R"(%SystemDrive%\Documents and Settings\mallory)");
  tree.listProfile("S-1-5-21-13", R"(%ROAMING%\erin)");
  tree.listProfile("S-1-5-21-14", R"(C:\Documents and Settings\..\..\etc)");
  // An absurd path is named, not repeated whole.
  tree.listProfile("S-1-5-21-16", "%" + std::string(6000, 'V') + "%\\" + std::string(9000, 'p'));
  tree.editHive(tree.softwareHive(), [](hive_h* hive) {
    offline_test::setDword(hive, R"(Microsoft\Windows NT\CurrentVersion\ProfileList\S-1-5-21-15)",
                           "ProfileImagePath", 7);
  });

  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(folders(found), (std::vector<std::string>{R"(Documents and Settings\alice)",
                                                      R"(Documents and Settings\bob)"}));
  ASSERT_EQ(found.unreachable.size(), 7u) << lines(found.unreachable);
  for (const std::string& text : found.unreachable) EXPECT_LT(text.size(), 1000u) << text;
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-16", "VVV...%"}));
  EXPECT_TRUE(saysAll(found.unreachable,
                      {"S-1-5-21-10", R"(C:\Documents and Settings\carol)", "not found"}));
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-11", "on drive D:"}));
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-12", "a symbolic link, not followed"}));
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-13", "%ROAMING%"}));
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-14", "\"..\""}));
  EXPECT_TRUE(saysAll(found.unreachable, {"S-1-5-21-15", "not a string"}));
}

TEST(OfflineInstallation, AProfileListBeyondItsBoundIsReadInPartAndTheRestNamed) {
  InstallationTree tree(Layout::kXp);
  tree.editHive(tree.softwareHive(), [](hive_h* hive) {
    hive_node_h list =
        offline_test::ensureKey(hive, R"(Microsoft\Windows NT\CurrentVersion\ProfileList)");
    for (int i = 0; i < 2100; ++i) {
      hivex_node_add_child(hive, list, ("S-1-5-21-9-" + std::to_string(100000 + i)).c_str());
    }
  });
  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(folders(found).size(), 2u);
  EXPECT_TRUE(saysAll(found.unreachable, {"ProfileList has 2102 keys; 102 of them"}))
      << lines(found.unreachable);
}

TEST(OfflineInstallation, AProfileListThatCannotBeReadIsNamedAndTheLayoutStillServes) {
  InstallationTree tree(Layout::kXp);
  std::string software = tree.fileBytes(tree.softwareHive());
  std::size_t list =
      offline_test::keyOffset(software, R"(Microsoft\Windows NT\CurrentVersion\ProfileList)");
  ASSERT_NE(list, 0u);
  offline_test::setField32(software, list + offline_test::kKeySubkeyList, 0x7FFFFFF0);
  tree.addFile(tree.softwareHive(), software);

  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(folders(found), (std::vector<std::string>{R"(Documents and Settings\alice)",
                                                      R"(Documents and Settings\bob)"}));
  EXPECT_TRUE(saysAll(found.unreachable,
                      {R"(C:\WINDOWS\system32\config\SOFTWARE: its ProfileList cannot be read)"}))
      << lines(found.unreachable);
}

TEST(OfflineInstallation, TheCurrentControlSetIsTheOneSelectNames) {
  InstallationTree tree(Layout::kXp, {"alice"}, 3);
  tree.editHive(tree.systemHive(),
                [](hive_h* hive) { offline_test::setDword(hive, "Select", "Current", 2); });
  EXPECT_EQ(find(tree).currentControlSet, "ControlSet002");
  tree.editHive(tree.systemHive(),
                [](hive_h* hive) { offline_test::setDword(hive, "Select", "Current", 9); });
  Installation found = find(tree);
  EXPECT_EQ(found.currentControlSet, "");
  EXPECT_EQ(found.currentControlSetProblem,
            "Select\\Current names control set 9, which is not there");
}

// --- Which Windows folder ---

TEST(OfflineInstallation, AFolderWhoseHivesAreNotSoundIsSetAsideAndTheSoundOneTaken) {
  InstallationTree tree(Layout::kXp);
  for (const char* hive : {"SOFTWARE", "SYSTEM", "DEFAULT"}) {
    tree.addFile(std::string(R"(WINNT\system32\config\)") + hive, "");
  }
  Installation found = find(tree);
  ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
  EXPECT_EQ(found.windowsFolder, "WINDOWS");
  ASSERT_EQ(found.setAside.size(), 1u);
  EXPECT_EQ(found.setAside[0].rfind(
                R"(C:\WINNT: not a Windows folder: C:\WINNT\system32\config\SOFTWARE: )"
                "not a sound hive: ",
                0),
            0u)
      << found.setAside[0];
}

TEST(OfflineInstallation, SeveralSoundInstallationsAreListedAndOnlyTheOneNamedIsTaken) {
  InstallationTree tree(Layout::kXp);
  for (const std::string& hive : {tree.softwareHive(), tree.systemHive(), tree.defaultHive()}) {
    tree.addFile("WINNT" + hive.substr(hive.find('\\')), tree.fileBytes(hive));
  }
  Installation found = find(tree);
  EXPECT_EQ(found.kind, InstallationKind::kNotWindows);
  EXPECT_EQ(found.problem, "more than one Windows folder under the root could be the installation");
  EXPECT_EQ(found.candidates, (std::vector<std::string>{R"(C:\WINDOWS)", R"(C:\WINNT)"}));

  Installation chosen = find(tree, "winnt");
  ASSERT_EQ(chosen.kind, InstallationKind::kNtFamily) << chosen.problem;
  EXPECT_EQ(chosen.windowsFolder, "WINNT");
  EXPECT_EQ(chosen.configFolder, R"(WINNT\system32\config)");
  EXPECT_EQ(folders(chosen).size(), 2u);
  EXPECT_EQ(find(tree, "/WINDOWS/").windowsFolder, "WINDOWS");
  for (const char* wrong : {"Documents and Settings", "absent", "..", R"(WINDOWS\..\WINNT)"}) {
    Installation refused = find(tree, wrong);
    EXPECT_EQ(refused.kind, InstallationKind::kNotWindows) << wrong;
    EXPECT_FALSE(refused.problem.empty()) << wrong;
  }
}

// A name with a twin differing only in letter case: which of the two Windows would take cannot
// be known, so neither is taken.
TEST(OfflineInstallation, NamesWithATwinAreNotTakenAsPartsOfTheInstallation) {
  {
    InstallationTree tree(Layout::kXp);
    tree.addFile(R"(DOCUMENTS AND SETTINGS\mallory\NTUSER.DAT)", "decoy");
    Installation found = find(tree);
    ASSERT_EQ(found.kind, InstallationKind::kNtFamily) << found.problem;
    EXPECT_EQ(folders(found), std::vector<std::string>{});
    // The two listed profiles, and the profiles' folder itself.
    EXPECT_EQ(found.unreachable.size(), 3u) << lines(found.unreachable);
    EXPECT_TRUE(saysAll(found.unreachable,
                        {R"(C:\Documents and Settings: more than one entry)", "profiles' folder"}))
        << lines(found.unreachable);
  }
  {
    InstallationTree tree(Layout::kXp);
    tree.addFile(tree.profileFolder("alice") + "\\ntuser.dat",
                 tree.fileBytes(tree.userHive("bob")));
    Installation found = find(tree);
    ASSERT_EQ(folders(found).size(), 2u);
    EXPECT_EQ(found.users[0].hiveName, "");
    EXPECT_EQ(found.users[1].hiveName, "NTUSER.DAT");
    EXPECT_EQ(found.unreachable,
              std::vector<std::string>{R"(C:\Documents and Settings\alice\NTUSER.DAT: more than )"
                                       "one entry has that name in some letter case, so neither is "
                                       "used as the user's registry hive"});
  }
  {
    InstallationTree tree(Layout::kXp);
    tree.addFile(tree.configFolder() + "\\default", tree.fileBytes(tree.defaultHive()));
    Installation found = find(tree);
    EXPECT_EQ(found.defaultHive, "");
    EXPECT_TRUE(saysAll(found.unreachable, {R"(C:\WINDOWS\system32\config\DEFAULT: more than one)",
                                            ".Default is not cleaned"}))
        << lines(found.unreachable);
  }
  {
    InstallationTree tree(Layout::kXp);
    tree.addFolder(R"(Documents and Settings\ALICE\Local Settings\Temp)");
    Installation found = find(tree);
    EXPECT_EQ(folders(found), std::vector<std::string>{R"(Documents and Settings\bob)"});
    EXPECT_TRUE(saysAll(found.unreachable, {R"(C:\Documents and Settings\ALICE: more than one)"}));
    EXPECT_TRUE(saysAll(found.unreachable, {InstallationTree::sidOf(0), "more than one entry"}));
  }
  {
    InstallationTree tree(Layout::kXp);
    for (const char* hive : {"SOFTWARE", "SYSTEM"}) {
      tree.addFile(std::string(R"(windows\system32\config\)") + hive, "");
    }
    Installation found = find(tree);
    EXPECT_EQ(found.kind, InstallationKind::kNotWindows);
    EXPECT_EQ(found.problem,
              "its Windows folder's name has a twin that differs only in letter case");
    EXPECT_TRUE(saysAll(found.unreachable, {R"(C:\WINDOWS: more than one entry)"}));
    EXPECT_TRUE(saysAll(found.setAside, {R"(C:\windows: more than one entry)"}));
  }
}

}  // namespace
