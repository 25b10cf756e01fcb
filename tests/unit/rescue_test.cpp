// vandrel-rescue run whole, in-process, over installation trees: what it deletes and removes,
// what it leaves, what it prints, and how it exits.
#include "rescue/rescue.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "contract/worm_footprint.h"
#include "offline/fake_short_names.h"
#include "offline/hive_builder.h"
#include "offline/infected_installation.h"
#include "scan/scan_session.h"
#include "specimens/version_image.h"
#include "support/json_value.h"
#include "support/report_findings.h"

namespace {

namespace fs = std::filesystem;
using offline_test::Infection;
using offline_test::InstallationTree;
using offline_test::Layout;
using offline_test::PlantedFile;
using offline_test::windowsPath;

const char kDate[] = "20030811";

struct RescueRun {
  int status = -1;
  std::vector<std::string> lines;  // the output, one a line
  std::string errors;
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

RescueSystem testSystem() {
  RescueSystem system;
  system.backupDate = kDate;
  system.mountedReadOnly = [](const platform::offline::RootedTree&) { return false; };
  return system;
}

RescueRun rescue(const std::vector<std::string>& arguments,
                 const RescueSystem& system = testSystem()) {
  resetScanSessionForTest();
  char* output = nullptr;
  char* errors = nullptr;
  std::size_t outputSize = 0, errorsSize = 0;
  std::FILE* outputStream = open_memstream(&output, &outputSize);
  std::FILE* errorsStream = open_memstream(&errors, &errorsSize);
  RescueRun run;
  run.status = runRescue(arguments, outputStream, errorsStream, system);
  std::fclose(outputStream);
  std::fclose(errorsStream);
  run.lines = splitLines(std::string(output, outputSize));
  run.errors.assign(errors, errorsSize);
  std::free(output);
  std::free(errors);
  return run;
}

// Every file below the root (links as links) and its bytes.
std::map<std::string, std::string> snapshot(const InstallationTree& tree) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(tree.root()); it != fs::end(it); ++it) {
    if (it->is_symlink()) {
      files[it->path().string()] = "link to " + fs::read_symlink(it->path()).string();
    } else if (it->is_regular_file()) {
      std::string relative = fs::relative(it->path(), tree.root()).string();
      files[it->path().string()] = tree.fileBytes(relative);
    }
  }
  return files;
}

// The paths whose bytes differ between two snapshots, one a line (empty when none do).
std::string differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& after) {
  std::string changed;
  for (const auto& [path, bytes] : before) {
    auto it = after.find(path);
    if (it == after.end()) {
      changed += "gone: " + path + "\n";
    } else if (it->second != bytes) {
      changed += "changed: " + path + "\n";
    }
  }
  for (const auto& [path, bytes] : after) {
    if (before.count(path) == 0) changed += "new: " + path + "\n";
  }
  return changed;
}

// The entries a walk of the folder counts: everything but folders, links included.
int filesBelow(const InstallationTree& tree, const std::string& relative) {
  int count = 0;
  for (auto it = fs::recursive_directory_iterator(tree.host(relative)); it != fs::end(it); ++it) {
    if (it->symlink_status().type() != fs::file_type::directory) ++count;
  }
  return count;
}

bool exists(const InstallationTree& tree, const std::string& relative) {
  std::error_code error;
  return fs::symlink_status(tree.host(relative), error).type() != fs::file_type::not_found;
}

std::vector<std::string> statistics(int scanned, int infected, int deleted) {
  return {"Scanning statistics\t\t:", "Total files scanned\t\t:  " + std::to_string(scanned),
          "Total files infected\t\t:  " + std::to_string(infected),
          "Total files deleted\t\t:  " + std::to_string(deleted)};
}

class RescueTest : public ::testing::TestWithParam<Layout> {
 protected:
  RescueTest() : tree(GetParam()) {}

  std::vector<std::string> hives() const {
    std::vector<std::string> all = {tree.softwareHive(), tree.systemHive(), tree.defaultHive()};
    for (const std::string& hive : tree.userHives()) all.push_back(hive);
    return all;
  }
  // What "Total files scanned" must say once the planted worms in scope are gone: the Windows
  // tree, its Temp again (less what the first walk deleted there), and each user's temp.
  int expectedScanned(const Infection& infection) const {
    std::string windowsTemp = tree.windowsFolder() + "\\Temp";
    int scanned = filesBelow(tree, tree.windowsFolder()) + filesBelow(tree, windowsTemp);
    for (const PlantedFile& worm : infection.inScope) {
      if (worm.path.rfind(windowsTemp + "\\", 0) == 0) --scanned;
    }
    for (const std::string& user : tree.users()) scanned += filesBelow(tree, tree.userTemp(user));
    return scanned;
  }
  // The line a deleted worm file gets: a temporary folder's files show the doubled backslash of
  // the temporary path, unless the walk of the Windows tree met them first.
  std::string deletedLine(const PlantedFile& worm) const {
    std::string path = windowsPath(worm.path);
    for (const std::string& user : tree.users()) {
      std::string temp = windowsPath(tree.userTemp(user)) + "\\";
      if (path.rfind(temp, 0) == 0) path.insert(temp.size(), "\\");
    }
    return path + "     " + worm.virusName + " deleted";
  }

  InstallationTree tree;
};

TEST_P(RescueTest, RemovesEveryWormInScopeWithItsRegistryFootprintAndNothingElse) {
  Infection infection = offline_test::plantInfection(tree);
  std::map<std::string, std::string> originalHives;
  for (const std::string& hive : hives()) originalHives[hive] = tree.fileBytes(hive);
  int scanned = expectedScanned(infection);

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 1) << run.errors;
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  for (const auto* kept : {&infection.outOfScope, &infection.clean}) {
    for (const PlantedFile& file : *kept) EXPECT_TRUE(tree.fileBytes(file.path) == file.bytes);
  }
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(tree), "");
  for (const auto& [hive, bytes] : originalHives) {
    EXPECT_TRUE(tree.fileBytes(hive + ".vandrel-" + kDate) == bytes) << hive;
    EXPECT_NE(run.errors.find(windowsPath(hive) + ": written"), std::string::npos) << run.errors;
  }

  // The first identification cleans the registry, before its file is deleted; later ones find
  // nothing left to remove.
  ASSERT_GE(run.lines.size(), infection.inScope.size() + 7);
  std::size_t deletions = infection.inScope.size();
  const std::string& firstDeleted = run.lines[1];
  std::size_t gap = firstDeleted.find("     ");
  std::size_t outcome = firstDeleted.rfind(" deleted");
  ASSERT_TRUE(gap != std::string::npos && outcome != std::string::npos) << firstDeleted;
  std::string firstVariant = firstDeleted.substr(gap + 5, outcome - gap - 5);
  EXPECT_EQ(run.lines[0], "System Registry     " + firstVariant + " removed");
  std::vector<std::string> deleted(run.lines.begin() + 1, run.lines.begin() + 1 + deletions);
  for (const PlantedFile& worm : infection.inScope) {
    EXPECT_NE(std::find(deleted.begin(), deleted.end(), deletedLine(worm)), deleted.end())
        << deletedLine(worm);
  }
  std::vector<std::string> ending = {" "};
  for (const std::string& line : statistics(scanned, deletions, deletions)) ending.push_back(line);
  ending.push_back("Scanning completed");
  EXPECT_EQ(std::vector<std::string>(run.lines.begin() + 1 + deletions, run.lines.end()), ending);

  // Run again, the installation is clean.
  EXPECT_EQ(rescue({tree.root()}).status, 0);
}

TEST_P(RescueTest, ADryRunChangesNothingAndPrintsWhatARealRunWill) {
  offline_test::plantInfection(tree);
  std::map<std::string, std::string> before = snapshot(tree);

  RescueRun dry = rescue({"--dry-run", tree.root()});
  EXPECT_EQ(dry.status, 1) << dry.errors;
  EXPECT_EQ(differences(before, snapshot(tree)), "");
  ASSERT_FALSE(dry.lines.empty());
  EXPECT_EQ(dry.lines[0].rfind("Dry run: nothing is changed.", 0), 0u) << dry.lines[0];
  EXPECT_NE(dry.errors.find(R"(dry run: C:\)" + tree.systemHive() +
                            R"(: key ControlSet002\Services\RpcTftpd deleted (not written))"),
            std::string::npos)
      << dry.errors;

  RescueRun real = rescue({"--no-backup", tree.root()});
  EXPECT_EQ(real.status, 1) << real.errors;
  EXPECT_EQ(std::vector<std::string>(dry.lines.begin() + 1, dry.lines.end()), real.lines);
  for (const std::string& hive : hives()) {
    EXPECT_FALSE(exists(tree, hive + ".vandrel-" + kDate)) << "no backup was asked for";
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RescueTest, ::testing::Values(Layout::kXp, Layout::kSeven),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return info.param == Layout::kXp ? "Xp" : "Seven";
                         });

class RescueXpTest : public ::testing::Test {
 protected:
  InstallationTree tree{Layout::kXp};
};

TEST_F(RescueXpTest, NoLinkIsFollowedOutOfTheRootNorRemoved) {
  InstallationTree outside(Layout::kXp, {});
  Infection elsewhere = offline_test::plantInfection(outside);
  const PlantedFile& target = elsewhere.inScope.front();
  std::string system32 = tree.windowsFolder() + "\\system32";
  // A folder link inside the Windows tree, and a file link named like a worm, both leading out.
  fs::create_directory_symlink(fs::path(outside.host(target.path)).parent_path(),
                               tree.host(system32 + "\\outside"));
  fs::create_symlink(outside.host(target.path), tree.host(system32 + "\\msblast.exe"));
  fs::create_symlink(outside.host(target.path), tree.host(tree.userTemp("bob") + "\\worm.exe"));
  std::map<std::string, std::string> before = snapshot(outside);

  RescueRun run = rescue({tree.root()});

  // Not followed, and not examined: each named, and the run does not say everything was.
  EXPECT_EQ(run.status, 4) << run.errors;
  for (const char* link : {"system32\\outside", "system32\\msblast.exe", "\\worm.exe"}) {
    EXPECT_NE(run.errors.find(link), std::string::npos) << link << " not named in\n" << run.errors;
  }
  EXPECT_NE(run.errors.find("3 objects in the scan's scope were not examined"), std::string::npos)
      << run.errors;
  EXPECT_EQ(differences(before, snapshot(outside)), "");
  EXPECT_TRUE(fs::is_symlink(tree.host(system32 + "\\msblast.exe")));
  EXPECT_TRUE(fs::is_symlink(tree.host(system32 + "\\outside")));
  EXPECT_TRUE(fs::is_symlink(tree.host(tree.userTemp("bob") + "\\worm.exe")));
  ASSERT_EQ(run.lines.size(), 5u) << "the statistics and the status, nothing else";
  EXPECT_EQ(run.lines[2], "Total files infected\t\t:  0");
}

TEST_F(RescueXpTest, AWormFileWithASecondNameIsNotRemoved) {
  Infection infection = offline_test::plantInfection(tree);
  const PlantedFile& worm = infection.inScope.front();
  fs::create_hard_link(tree.host(worm.path), tree.host(tree.windowsFolder() + "\\second.exe"));

  RescueRun run = rescue({tree.root()});

  EXPECT_TRUE(tree.fileBytes(worm.path) == worm.bytes);
  EXPECT_TRUE(tree.fileBytes(tree.windowsFolder() + "\\second.exe") == worm.bytes);
  // Found under each name, counted, and left with a line that says so.
  std::vector<std::string> failed;
  for (const std::string& line : run.lines) {
    if (line.find("Delete failed") != std::string::npos) failed.push_back(line);
  }
  ASSERT_EQ(failed.size(), 2u) << run.errors;
  EXPECT_EQ(failed[0].rfind(windowsPath(worm.path), 0) == 0 ||
                failed[1].rfind(windowsPath(worm.path), 0) == 0,
            true);
  for (std::size_t i = 1; i < infection.inScope.size(); ++i) {
    EXPECT_FALSE(exists(tree, infection.inScope[i].path)) << infection.inScope[i].path;
  }
  EXPECT_EQ(run.status, 2) << "the others are removed, this one is not";
}

// On an ntfs-3g mount the short name Windows gives a long one is a second link: that is still
// one name, and the file goes as any other.
TEST_F(RescueXpTest, AWormFileWhoseOtherLinkIsItsShortNameIsRemoved) {
  Infection infection = offline_test::plantInfection(tree);
  const PlantedFile& worm = infection.inScope.front();
  // The short form's entry, which ntfs-3g does not list, stands outside the scan's scope here.
  fs::create_hard_link(tree.host(worm.path), tree.host("short-form-entry"));
  offline_test::FakeShortNames shortNames("WINDOW~1.EXE");

  RescueRun run = rescue({tree.root()});

  for (const PlantedFile& file : infection.inScope) {
    EXPECT_FALSE(exists(tree, file.path)) << file.path;
  }
  for (const std::string& line : run.lines)
    EXPECT_EQ(line.find("Delete failed"), std::string::npos);
  EXPECT_GT(shortNames.asked(), 0);
  EXPECT_EQ(run.status, 1) << run.errors;
}

// Windows counts a path's length in UTF-16 units: a name of 85 CJK characters is 255 bytes
// here but 85 units there, and its worm file is removed; a path of more than 259 units is out
// of Windows's reach, and named.
TEST_F(RescueXpTest, PathsAreMeasuredInTheUnitsWindowsCounts) {
  Infection infection = offline_test::plantInfection(tree);
  const std::string temp = tree.windowsFolder() + "\\Temp";
  std::string name;
  for (int i = 0; i < 81; ++i) name += "\xE6\x96\x87";
  name += ".exe";
  tree.addFile(temp + "\\" + name, infection.inScope.front().bytes);
  std::string deep = temp;
  while (deep.size() < 270) deep += "\\" + std::string(60, 'd');
  tree.addFile(deep + "\\worm.exe", infection.inScope.front().bytes);

  RescueRun run = rescue({tree.root()});

  EXPECT_FALSE(exists(tree, temp + "\\" + name));
  std::string deleted = windowsPath(temp + "\\" + name) + "     W32/Blaster.Worm deleted";
  EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), deleted), run.lines.end());
  EXPECT_TRUE(exists(tree, deep + "\\worm.exe"));
  EXPECT_NE(run.errors.find("its path is too long"), std::string::npos) << run.errors;
  EXPECT_EQ(run.status, 4) << run.errors;
}

TEST_F(RescueXpTest, AHiveThatCannotBeReadIsNamedAndLeftWhileTheRestIsCleaned) {
  Infection infection = offline_test::plantInfection(tree);
  std::string cut = tree.fileBytes(tree.defaultHive());
  cut.resize(cut.size() - 4096);
  tree.addFile(tree.defaultHive(), cut);

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find(windowsPath(tree.defaultHive()) + ": left untouched: "),
            std::string::npos)
      << run.errors;
  EXPECT_TRUE(tree.fileBytes(tree.defaultHive()) == cut);
  EXPECT_FALSE(exists(tree, tree.defaultHive() + ".vandrel-" + kDate));
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  for (const auto& value : footprint::wormValues()) {
    if (value.root == platform::kRootUsers) continue;
    EXPECT_FALSE(tree.hasAnywhere(value)) << value.name;
  }
}

TEST_F(RescueXpTest, EveryCopyOfAStartUpValueGoesInWhateverLetterCase) {
  offline_test::plantInfection(tree);
  const std::string run = R"(Microsoft\Windows\CurrentVersion\Run)";
  tree.editHive(tree.softwareHive(), [&](hive_h* hive) {
    offline_test::addStringAgain(hive, run, "WINDOWS AUTO UPDATE", "msblast.exe");
    offline_test::addStringAgain(hive, run, "windows auto update", "msblast.exe");
  });
  tree.editHive(tree.userHive("alice"), [&](hive_h* hive) {
    offline_test::addStringAgain(hive, footprint::kRun, "microsoft inet xp..", "teekids.exe");
  });

  RescueRun cleaned = rescue({tree.root()});

  EXPECT_EQ(cleaned.status, 1) << cleaned.errors;
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(tree), "");
  EXPECT_TRUE(tree.lookInHive(tree.softwareHive(), [&](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, run, "windows auto update"), 0);
  }));
  EXPECT_TRUE(tree.lookInHive(tree.userHive("alice"), [&](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, footprint::kRun, "Microsoft Inet Xp.."), 0);
  }));
}

// A start-up value, or a key on the way to it, that a hive cannot read may be the worm's: it is
// named with its hive, the run says it needs attention, and every other hive is still cleaned.
TEST_F(RescueXpTest, AStartUpValueOrAKeyOnItsWayThatCannotBeReadIsNamedAndNeedsAttention) {
  offline_test::plantInfection(tree);
  std::string alice = tree.fileBytes(tree.userHive("alice"));
  std::size_t value = offline_test::valueOffset(alice, footprint::kRun, "windows auto update");
  offline_test::setField32(alice, value + offline_test::kValueDataLength, 0x00100000);
  tree.addFile(tree.userHive("alice"), alice);
  std::string software = tree.fileBytes(tree.softwareHive());
  std::size_t key = offline_test::keyOffset(software, R"(Microsoft\Windows\CurrentVersion)");
  offline_test::setField32(software, key + offline_test::kKeySubkeyList, offline_test::stored(key));
  tree.addFile(tree.softwareHive(), software);
  std::string defaultUser = tree.fileBytes(tree.defaultHive());
  offline_test::setField16(defaultUser,
                           offline_test::keyOffset(defaultUser, R"(Software\Microsoft\Windows)") +
                               offline_test::kKeyNameLength,
                           0x7FFF);
  tree.addFile(tree.defaultHive(), defaultUser);

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 2) << run.errors;
  for (const std::string& named :
       {windowsPath(tree.userHive("alice")) + R"(: the value "windows auto update" of )" +
            footprint::kRun + " cannot be read: ",
        windowsPath(tree.softwareHive()) +
            R"(: the key Microsoft\Windows\CurrentVersion\Run cannot be read: at )"
            R"(Microsoft\Windows\CurrentVersion: its list of subkeys cannot be read)",
        windowsPath(tree.defaultHive()) + R"(: the key )" + footprint::kRun +
            R"( cannot be read: at Software\Microsoft: the name of one of its subkeys )"}) {
    EXPECT_NE(run.errors.find(named), std::string::npos) << named << "\nnot in\n" << run.errors;
  }
  // None of these hives is written; bob's copy, and the services, go.
  EXPECT_TRUE(tree.fileBytes(tree.softwareHive()) == software);
  EXPECT_TRUE(tree.fileBytes(tree.userHive("alice")) == alice);
  EXPECT_TRUE(tree.fileBytes(tree.defaultHive()) == defaultUser);
  EXPECT_TRUE(tree.lookInHive(tree.userHive("bob"), [](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, footprint::kRun, "windows auto update"), 0);
  }));
  EXPECT_EQ(tree.controlSetsWithService("RpcTftpd"), 0);
}

// The report of a rescue: read by a JSON parser, its findings are the log's finding lines in order;
// a report that cannot be written is named and has its own exit status.
TEST_F(RescueXpTest, TheReportsFindingsAreTheLogsFindingLines) {
  offline_test::plantInfection(tree);
  fs::path folder = fs::temp_directory_path() / ("vandrel-report-" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::string report = (folder / "report.json").string();

  RescueRun run = rescue({"--report", report, tree.root()});

  std::ifstream file(report, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  testjson::Value document = testjson::parse(text);
  {
    SCOPED_TRACE(text);
    ASSERT_NO_FATAL_FAILURE(testjson::expectFindingsMatchLog(document, run.lines));
  }
  EXPECT_EQ(document["program"].text, "vandrel-rescue");
  EXPECT_EQ(document["windows"]["family"].text, "nt");
  EXPECT_FALSE(document["registry"].items.empty());
  EXPECT_EQ(document["exitStatus"].number, run.status);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "nothing left beside the report";

  RescueRun unwritable =
      rescue({"--report", (folder / "missing" / "r.json").string(), tree.root()});
  EXPECT_EQ(unwritable.status, 5);
  EXPECT_NE(unwritable.errors.find((folder / "missing" / "r.json").string()), std::string::npos);
  fs::remove_all(folder);
}

TEST_F(RescueXpTest, SaysAfterTheStatisticsWhenTheWormCanComeBackToTheInstallation) {
  tree.setRelease("5.1", "Service Pack 1");
  tree.addFile(tree.windowsFolder() + R"(\system32\rpcrt4.dll)",
               specimens::versionImage(5, 1, 2600, 1106).bytes);
  const std::string missing =
      "RPC/DCOM     MS03-026 fix missing: W32/Blaster.Worm can return until KB823980 or KB824146 "
      "is installed";

  RescueRun dry = rescue({"--dry-run", tree.root()});
  RescueRun real = rescue({tree.root()});

  std::vector<std::string> ending = statistics(filesBelow(tree, tree.windowsFolder()), 0, 0);
  ending.push_back(missing);
  ending.push_back("Scanning completed");
  EXPECT_EQ(real.lines, ending);
  EXPECT_EQ(std::vector<std::string>(dry.lines.begin() + 1, dry.lines.end()), real.lines);
  // The installation is clean of the worm; that it lacks the fix changes no exit status.
  EXPECT_EQ(real.status, 0) << real.errors;
}

// Writes part of the hive, then fails, for the second hive committed (SYSTEM) only.
int commitsSeen = 0;
bool failingOnTheSecondHive(int source, int fd) {
  if (++commitsSeen != 2) return platform::offline::copyHive(source, fd);
  (void)!write(fd, "regf", 4);
  errno = ENOSPC;
  return false;
}

TEST_F(RescueXpTest, AHiveWhoseCommitFailsHalfWayIsLeftAsItWasAndNamed) {
  Infection infection = offline_test::plantInfection(tree);
  std::string system = tree.fileBytes(tree.systemHive());
  std::vector<std::string> configBefore = tree.folderNames(tree.configFolder());
  RescueSystem failing = testSystem();
  failing.hiveWriter = failingOnTheSecondHive;
  commitsSeen = 0;

  RescueRun run = rescue({tree.root()}, failing);

  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find(windowsPath(tree.systemHive()) +
                            ": not changed: writing the new hive failed (No space left on device)"),
            std::string::npos)
      << run.errors;
  EXPECT_TRUE(tree.fileBytes(tree.systemHive()) == system);
  EXPECT_EQ(tree.controlSetsWithService("RpcTftpd"), 2);
  // The others are written, each with its backup; nothing else is left in the folder.
  std::vector<std::string> configAfter = tree.folderNames(tree.configFolder());
  EXPECT_EQ(configAfter,
            (std::vector<std::string>{"DEFAULT", "DEFAULT.vandrel-20030811", "SOFTWARE",
                                      "SOFTWARE.vandrel-20030811", "SYSTEM"}));
  EXPECT_FALSE(tree.hasAnywhere(footprint::wormValues().front()));
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
}

TEST_F(RescueXpTest, NothingIsDoneWithoutAWritableWindowsInstallation) {
  offline_test::plantInfection(tree);
  std::map<std::string, std::string> before = snapshot(tree);

  RescueRun missing = rescue({tree.root() + "/absent"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_NE(missing.errors.find("cannot be opened as a folder"), std::string::npos);

  RescueRun notWindows = rescue({tree.host(tree.windowsFolder())});
  EXPECT_EQ(notWindows.status, 3);
  EXPECT_NE(notWindows.errors.find("not a Windows installation"), std::string::npos);

  RescueSystem readOnly = testSystem();
  readOnly.mountedReadOnly = [](const platform::offline::RootedTree&) { return true; };
  RescueRun refused = rescue({tree.root()}, readOnly);
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.errors.find("mounted read-only; nothing was done"), std::string::npos);
  EXPECT_TRUE(refused.lines.empty());
  EXPECT_EQ(differences(before, snapshot(tree)), "");
  // A dry run changes nothing, so it may look at a read-only mount.
  EXPECT_EQ(rescue({"--dry-run", tree.root()}, readOnly).status, 1);

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{}, {"--force", tree.root()}, {tree.root(), tree.root()}}) {
    RescueRun usage = rescue(wrong);
    EXPECT_EQ(usage.status, 3);
    EXPECT_NE(usage.errors.find("Usage: vandrel-rescue"), std::string::npos);
  }
  RescueRun help = rescue({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.lines.front(),
            "Usage: vandrel-rescue [--dry-run] [--backup|--no-backup] [--report FILE]");
  EXPECT_EQ(help.lines[1], "                      [--windows PATH] ROOT");
  EXPECT_EQ(differences(before, snapshot(tree)), "");
}

TEST_F(RescueXpTest, AnInterruptedRunStopsAtOnceAndSaysSo) {
  Infection infection = offline_test::plantInfection(tree);
  RescueSystem interrupted = testSystem();
  static volatile std::sig_atomic_t stop = 1;
  interrupted.interrupted = &stop;

  RescueRun run = rescue({tree.root()}, interrupted);

  EXPECT_EQ(run.status, 2);
  std::vector<std::string> expected = statistics(0, 0, 0);
  expected.push_back("Scanning terminated");
  EXPECT_EQ(run.lines, expected);
  EXPECT_NE(run.errors.find("interrupted"), std::string::npos);
  for (const PlantedFile& worm : infection.inScope) EXPECT_TRUE(exists(tree, worm.path));
}

// --- The scope follows the installation's own settings ---

bool hasWormValue(const InstallationTree& tree, const std::string& hive) {
  bool found = false;
  EXPECT_TRUE(tree.lookInHive(hive, [&](hive_h* h) {
    for (const auto& value : footprint::wormValues()) {
      if (value.root != platform::kRootCurrentUser) continue;
      found = found || !offline_test::valueBytes(h, value.subkey, value.name).empty();
    }
  })) << hive;
  return found;
}

// A user's hive with the worm's start-up values in it, and its Environment's TEMP.
void writeInfectedUserHive(InstallationTree& tree, const std::string& path) {
  offline_test::writeHive(tree.host(path), [](hive_h* hive) {
    for (const auto& value : footprint::wormValues()) {
      if (value.root != platform::kRootCurrentUser) continue;
      offline_test::setString(hive, value.subkey, value.name, "msblast.exe");
    }
    offline_test::setString(hive, "Environment", "TEMP", R"(%USERPROFILE%\Local Settings\Temp)", 2);
  });
}

TEST_F(RescueXpTest, AProfileTheInstallationListsElsewhereIsCleanedWithItsTemporaryFolders) {
  Infection infection = offline_test::plantInfection(tree);
  const std::string& wormBytes = infection.inScope.front().bytes;
  // Only ProfileList says where carol's profile is.
  const std::string carol = R"(Data\carol)";
  tree.addFolder(carol + R"(\Local Settings\Temp)");
  writeInfectedUserHive(tree, carol + "\\NTUSER.DAT");
  tree.listProfile("S-1-5-21-500-1010", R"(%SystemDrive%\Data\carol)");
  tree.addFile(carol + R"(\Local Settings\Temp\worm.exe)", wormBytes);
  // Only bob's Environment says where his TMP is.
  tree.setUserEnvironment("bob", "TMP", R"(%SystemDrive%\Scratch)");
  tree.addFile(R"(Scratch\msblast.exe)", wormBytes);

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 1) << run.errors;
  EXPECT_FALSE(exists(tree, carol + R"(\Local Settings\Temp\worm.exe)"));
  EXPECT_FALSE(exists(tree, R"(Scratch\msblast.exe)"));
  EXPECT_NE(std::find(run.lines.begin(), run.lines.end(),
                      R"(C:\Scratch\\msblast.exe     W32/Blaster.Worm deleted)"),
            run.lines.end());
  EXPECT_FALSE(hasWormValue(tree, carol + "\\NTUSER.DAT"));
  EXPECT_NE(run.errors.find(R"(C:\Data\carol\NTUSER.DAT: written)"), std::string::npos)
      << run.errors;
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(tree), "");
  EXPECT_NE(run.errors.find(R"(C:\WINDOWS\system32\config\SYSTEM: the current control set is )"
                            "ControlSet001; every control set is cleaned"),
            std::string::npos)
      << run.errors;
}

TEST_F(RescueXpTest, AListedProfileThatCannotBeReachedIsNamedAndNeedsAttention) {
  Infection infection = offline_test::plantInfection(tree);
  tree.listProfile("S-1-5-21-500-1011", R"(%SystemDrive%\Documents and Settings\carol)");
  tree.listProfile("S-1-5-21-500-1012", R"(D:\Users\dave)");

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 2) << run.errors;
  EXPECT_NE(run.errors.find(R"(not cleaned: C:\WINDOWS\system32\config\SOFTWARE: )"
                            R"(ProfileList\S-1-5-21-500-1011: the profile )"
                            R"(C:\Documents and Settings\carol cannot be reached)"),
            std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find("S-1-5-21-500-1012"), std::string::npos) << run.errors;
  // What can be reached is cleaned all the same.
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(tree), "");
}

TEST_F(RescueXpTest, ADecoyWindowsFolderWithEmptyHivesIsSetAside) {
  Infection infection = offline_test::plantInfection(tree);
  for (const char* hive : {"SOFTWARE", "SYSTEM", "DEFAULT"}) {
    tree.addFile(std::string(R"(WINNT\system32\config\)") + hive, "");
  }

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 1) << run.errors;
  EXPECT_NE(run.errors.find(R"(set aside: C:\WINNT: not a Windows folder: )"), std::string::npos)
      << run.errors;
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(tree), "");
  EXPECT_EQ(tree.fileBytes(R"(WINNT\system32\config\SYSTEM)"), "");
}

// A damaged SYSTEM makes the only Windows folder no candidate: nothing is guessed, but the
// administrator may name it, and then its files and its sound hives are cleaned while the
// damaged hive is named and left as it was.
TEST_F(RescueXpTest, AnInstallationWithADamagedHiveIsCleanedOnlyWhenNamed) {
  Infection infection = offline_test::plantInfection(tree);
  std::string damaged = std::string(4096, '\0');
  tree.addFile(tree.systemHive(), damaged);

  RescueRun refused = rescue({tree.root()});

  EXPECT_EQ(refused.status, 3) << refused.errors;
  EXPECT_NE(refused.errors.find("--windows WINDOWS takes it all the same"), std::string::npos)
      << refused.errors;
  for (const PlantedFile& worm : infection.inScope) EXPECT_TRUE(exists(tree, worm.path));

  RescueRun named = rescue({"--windows", "WINDOWS", tree.root()});

  EXPECT_EQ(named.status, 2) << named.errors;
  EXPECT_NE(named.errors.find("SYSTEM"), std::string::npos) << named.errors;
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  EXPECT_FALSE(hasWormValue(tree, tree.userHive("alice")));
  EXPECT_EQ(tree.fileBytes(tree.systemHive()), damaged);
}

TEST_F(RescueXpTest, OfSeveralInstallationsNoneIsGuessedAndTheOneNamedIsCleaned) {
  Infection infection = offline_test::plantInfection(tree);
  for (const std::string& hive : {tree.softwareHive(), tree.systemHive(), tree.defaultHive()}) {
    tree.addFile("WINNT" + hive.substr(hive.find('\\')), tree.fileBytes(hive));
  }
  tree.addFile(R"(WINNT\system32\msblast.exe)", infection.inScope.front().bytes);
  std::map<std::string, std::string> before = snapshot(tree);

  RescueRun refused = rescue({tree.root()});

  EXPECT_EQ(refused.status, 3);
  for (const char* named : {R"(could be the Windows folder: C:\WINDOWS)",
                            R"(could be the Windows folder: C:\WINNT)", "--windows PATH"}) {
    EXPECT_NE(refused.errors.find(named), std::string::npos) << named << "\n" << refused.errors;
  }
  EXPECT_TRUE(refused.lines.empty());
  EXPECT_EQ(differences(before, snapshot(tree)), "");

  RescueRun chosen = rescue({"--windows", "winnt", tree.root()});

  EXPECT_EQ(chosen.status, 1) << chosen.errors;
  EXPECT_FALSE(exists(tree, R"(WINNT\system32\msblast.exe)"));
  EXPECT_TRUE(exists(tree, infection.inScope.front().path)) << "the other installation is left";
  EXPECT_FALSE(hasWormValue(tree, tree.userHive("alice")));
  EXPECT_TRUE(tree.fileBytes(tree.softwareHive()) == before[tree.host(tree.softwareHive())]);
  EXPECT_EQ(rescue({"--windows", "Program Files", tree.root()}).status, 3);
  EXPECT_EQ(rescue({"--windows", tree.root()}).status, 3) << "--windows needs its PATH";
}

// Which of two names differing only in letter case Windows would take cannot be known: neither
// is cleaned as the installation's, each is named, and the status says something was not cleaned.
TEST_F(RescueXpTest, NamesWithATwinAreNamedAndTheDecoyIsNotCleaned) {
  {
    InstallationTree twins(Layout::kXp);
    offline_test::plantInfection(twins);
    std::string alice = twins.userHive("alice");
    std::string decoy = twins.profileFolder("alice") + "\\ntuser.dat";
    writeInfectedUserHive(twins, decoy);
    std::string aliceBytes = twins.fileBytes(alice);
    std::string decoyBytes = twins.fileBytes(decoy);

    RescueRun run = rescue({twins.root()});

    EXPECT_EQ(run.status, 2) << run.errors;
    EXPECT_NE(run.errors.find(R"(not cleaned: C:\Documents and Settings\alice\NTUSER.DAT: more )"
                              "than one entry has that name in some letter case"),
              std::string::npos)
        << run.errors;
    EXPECT_TRUE(twins.fileBytes(alice) == aliceBytes);
    EXPECT_TRUE(twins.fileBytes(decoy) == decoyBytes);
    EXPECT_FALSE(hasWormValue(twins, twins.userHive("bob")));
  }
  {
    InstallationTree twins(Layout::kXp);
    Infection infection = offline_test::plantInfection(twins);
    const std::string decoy = R"(DOCUMENTS AND SETTINGS\alice)";
    twins.addFile(decoy + R"(\Local Settings\Temp\worm.exe)", infection.inScope.front().bytes);
    writeInfectedUserHive(twins, decoy + "\\NTUSER.DAT");
    std::string decoyHive = twins.fileBytes(decoy + "\\NTUSER.DAT");

    RescueRun run = rescue({twins.root()});

    EXPECT_EQ(run.status, 2) << run.errors;
    EXPECT_NE(run.errors.find(R"(not cleaned: C:\Documents and Settings: more than one entry)"),
              std::string::npos)
        << run.errors;
    EXPECT_TRUE(exists(twins, decoy + R"(\Local Settings\Temp\worm.exe)"));
    EXPECT_TRUE(twins.fileBytes(decoy + "\\NTUSER.DAT") == decoyHive);
    // The Windows tree is the installation's all the same.
    EXPECT_FALSE(exists(twins, infection.inScope.front().path));
  }
  {
    InstallationTree twins(Layout::kXp);
    offline_test::plantInfection(twins);
    for (const char* hive : {"SOFTWARE", "SYSTEM"}) {
      twins.addFile(std::string(R"(windows\system32\config\)") + hive, "");
    }
    std::map<std::string, std::string> before = snapshot(twins);

    RescueRun run = rescue({twins.root()});

    EXPECT_EQ(run.status, 3) << run.errors;
    EXPECT_NE(run.errors.find("has a twin that differs only in letter case"), std::string::npos)
        << run.errors;
    EXPECT_EQ(differences(before, snapshot(twins)), "");
  }
}

// In the walk two names that differ only in letter case are two files (or folders), and both are
// examined: only parts of the installation are refused for a twin.
TEST_F(RescueXpTest, TwinsInTheWalkAreTwoFilesAndBothAreExamined) {
  Infection infection = offline_test::plantInfection(tree);
  const PlantedFile& worm = infection.inScope.front();
  std::string system32 = worm.path.substr(0, worm.path.rfind('\\'));
  tree.addFile(system32 + "\\MSBLAST.EXE", worm.bytes);
  tree.addFile(system32 + "\\DRIVERS\\worm.exe", worm.bytes);

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 1) << run.errors;
  for (const std::string& path :
       {worm.path, system32 + "\\MSBLAST.EXE", system32 + "\\DRIVERS\\worm.exe"}) {
    EXPECT_FALSE(exists(tree, path)) << path;
  }
  std::string infected =
      "Total files infected\t\t:  " + std::to_string(infection.inScope.size() + 2);
  EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), infected), run.lines.end());
}

TEST(RescueNineXTest, FilesAreCleanedAndTheRegistryIsReportedNotCleaned) {
  InstallationTree tree(Layout::kNineX, {});
  Infection infection = offline_test::plantInfection(tree);
  std::string registry = tree.fileBytes(tree.windowsFolder() + "\\SYSTEM.DAT");

  RescueRun run = rescue({tree.root()});

  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("the registry is not cleaned, the files are"), std::string::npos)
      << run.errors;
  for (const PlantedFile& worm : infection.inScope) EXPECT_FALSE(exists(tree, worm.path));
  for (const PlantedFile& worm : infection.outOfScope) EXPECT_TRUE(exists(tree, worm.path));
  EXPECT_TRUE(tree.fileBytes(tree.windowsFolder() + "\\SYSTEM.DAT") == registry);
  for (const std::string& line : run.lines)
    EXPECT_EQ(line.find("System Registry"), std::string::npos) << line;
  EXPECT_EQ(run.lines.back(), "Scanning completed");
}

}  // namespace
