// Finding a Windows installation under a mounted root: its Windows folder, hives, profiles and
// temporary folders in the layouts of 2000/XP, of Vista and later, of NT 4.0, and of 95/98/Me.
#include <gtest/gtest.h>

#include <filesystem>

#include "offline/installation_tree.h"
#include "platform/offline/installation.h"

namespace {

using offline_test::InstallationTree;
using offline_test::Layout;
using platform::offline::findInstallation;
using platform::offline::Installation;
using platform::offline::InstallationKind;
using platform::offline::RootedTree;

Installation find(const InstallationTree& tree) {
  RootedTree rooted;
  EXPECT_TRUE(rooted.open(tree.root().c_str()));
  return findInstallation(rooted);
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
    InstallationTree tree(Layout::kXp);
    std::filesystem::create_directories(tree.host(R"(WINNT\system32\config)"));
    tree.addFile(R"(WINNT\system32\config\software)", "another");
    EXPECT_EQ(find(tree).problem, "more than one Windows folder under the root");
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

}  // namespace
