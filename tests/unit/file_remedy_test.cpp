// Deleting worm files: every path of the deletion sequence and of the removal at restart, on the
// 95/98/Me family (path calls) and on the NT family (through the identified file's handle).
#include <gtest/gtest.h>

#include "engine/file_remedy.h"
#include "engine/worm_file.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"
#include "support/security_descriptor.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kWorm[] = R"(C:\WINDOWS\SYSTEM32\msblast.exe)";
constexpr char kName[] = "W32/Blaster.Worm";
constexpr std::uint32_t kProtective =
    platform::kAttributeReadOnly | platform::kAttributeHidden | platform::kAttributeSystem;

class FileRemedyTest : public SimTest {
 protected:
  FileRemedyTest() {
    scanSession().inMemoryScan = 0;
    plant(kWorm);
  }
  void plant(const std::string& path, std::uint32_t attributes = platform::kAttributeArchive) {
    sim.files.addFile(path, specimens::build(2, specimens::Variant::Plain)->bytes, attributes);
  }
  // The file as the check hands it to the remedy.
  WormFile identified(const std::string& path) {
    WormFile file;
    EXPECT_TRUE(file.examine(path.c_str())) << path << "\n" << sim.dump();
    return file;
  }
  void remove(const std::string& path) {
    WormFile file = identified(path);
    deleteWormFile(file, kName);
  }
  std::string line(const std::string& path, const char* outcome) const {
    return path + "     " + kName + " " + outcome;
  }
  std::string wininit() const { return sim.files.contentsOf(R"(C:\WINDOWS\Wininit.ini)"); }
};

TEST_F(FileRemedyTest, AProtectedFileIsMadeDeletableAndDeletedOnEitherFamily) {
  for (bool nt : {false, true}) {
    written.clear();
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    nt ? sim.processes.setWindowsNt(5) : sim.processes.setWindows98();
    plant(kWorm, kProtective);
    WormFile file = identified(kWorm);
    applyFileRemedy(file);

    EXPECT_FALSE(sim.files.hasFile(kWorm)) << (nt ? "NT" : "98");
    EXPECT_EQ(written, Strings{line(kWorm, "deleted")});
    EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
    EXPECT_STREQ(scanSession().currentVirusName, kName);
    EXPECT_STREQ(scanSession().statusText, kWorm);
    EXPECT_EQ(scanSession().remedyCode, 100);
  }
}

TEST_F(FileRemedyTest, AFileWhoseAttributesCannotBeChangedIsLeftAlone) {
  sim.processes.setWindowsNt(5);
  sim.files.inject(sim::FileFault::SetAttributes, kWorm);
  remove(kWorm);

  EXPECT_TRUE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_TRUE(sim.files.deletionsAtRestart().empty());
  EXPECT_EQ(scanSession().restartRequired, 0);
}

TEST_F(FileRemedyTest, TheRunningWormIsEndedAndItsFileDeleted) {
  sim.processes.setWindows98();
  platform::ProcessId worm = sim.processes.start(kWorm);
  remove(kWorm);

  EXPECT_FALSE(sim.processes.isRunning(worm));
  EXPECT_FALSE(sim.files.hasFile(kWorm)) << sim.dump();
  EXPECT_EQ(written, Strings{line(kWorm, "deleted")});
  EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
  EXPECT_EQ(scanSession().restartRequired, 0);
}

TEST_F(FileRemedyTest, AFileStillHeldAfterItsProcessEndedIsNotScheduled) {
  sim.processes.setWindows98();
  sim.processes.start(kWorm);
  sim.files.holdOpen(kWorm);  // a second holder that is not a process of the file's name
  scanSession().restartRequired = 1;
  remove(kWorm);

  EXPECT_TRUE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_EQ(wininit(), "");
  EXPECT_EQ(scanSession().restartRequired, 1);
}

// The file cannot be moved out of reach of the program that holds it, so its path alone could
// be scheduled, and another user could point that path elsewhere before the restart.
TEST_F(FileRemedyTest, OnNtAFileHeldWithoutDeleteSharingIsNeitherDeletedNorScheduled) {
  sim.processes.setWindowsNt(6);
  sim.files.holdOpen(kWorm);
  remove(kWorm);

  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_TRUE(sim.files.deletionsAtRestart().empty());
  EXPECT_TRUE(sim.files.protectedFolders().empty());
  EXPECT_EQ(scanSession().restartRequired, 0);
  EXPECT_TRUE(sim.files.hasFile(kWorm));
}

// A worm image whose process resists its end is moved, while it runs, into a new folder that
// only administrators may change, and that name is scheduled, then the folder.
TEST_F(FileRemedyTest, OnNtARunningWormIsMovedIntoAProtectedFolderAndScheduledThere) {
  sim.processes.setWindowsNt(5);
  sim.files.addFolder(R"(C:\WINDOWS\Vandrel removal 1)");  // someone's, from before: not taken
  const char* other = R"(D:\DOWNLOAD\msblast.exe)";
  plant(other);
  for (const char* image : {kWorm, other}) {
    platform::ProcessId worm = sim.processes.start(image);
    sim.processes.process(worm).canTerminate = false;
    remove(image);
  }

  EXPECT_EQ(written, (Strings{line(kWorm, "Delete failed"), line(other, "Delete failed")}));
  EXPECT_EQ(sim.files.protectedFolders(),
            (Strings{R"(C:\WINDOWS\Vandrel removal 2)", R"(D:\Vandrel removal 1)"}));
  EXPECT_EQ(
      sim.files.deletionsAtRestart(),
      (Strings{R"(C:\WINDOWS\Vandrel removal 2\msblast.exe)", R"(C:\WINDOWS\Vandrel removal 2)",
               R"(D:\Vandrel removal 1\msblast.exe)", R"(D:\Vandrel removal 1)"}));
  EXPECT_FALSE(sim.files.hasFile(kWorm));
  EXPECT_TRUE(sim.files.hasFile(R"(C:\WINDOWS\Vandrel removal 2\msblast.exe)"));
  EXPECT_EQ(scanSession().restartRequired, 1);
}

// The folder for the restart is made only where no one but the administrators and the system
// may rename it: anyone who may delete entries of its parent could move it away and leave a
// junction of its name, through which the restart would delete. Where that cannot be verified
// the worm gets its "Delete failed" line and stays where it is, and no restart is offered. A
// volume without access lists has no junctions, and every user may change every file on it.
TEST_F(FileRemedyTest, OnNtTheFolderForTheRestartIsMadeOnlyWhereOthersCannotRenameIt) {
  // Each case on a drive of its own; `arrange` is given the drive's root.
  struct Case {
    const char* what;
    std::function<void(sim::SimFileSystem&, const std::string&)> arrange;
    bool scheduled;
  };
  using security::descriptor;
  const std::vector<Case> cases = {
      {"a root as Windows XP sets it",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.setFolderSecurity(root, security::rootFromXp());
       },
       true},
      {"a root as NT 4.0 and 2000 set it",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.setFolderSecurity(root, security::rootOfNt4And2000());
       },
       false},
      {"users may delete entries of the root",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.setFolderSecurity(root,
                                 descriptor(security::kAdministrators,
                                            {{security::kAdministrators, security::kFullControl},
                                             {security::kUsers, security::kDeleteChild, 0}}));
       },
       false},
      {"a root without an access list",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.setFolderSecurity(root, descriptor(security::kAdministrators, {}, false));
       },
       false},
      {"a root whose security cannot be read",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.inject(sim::FileFault::Security, root);
       },
       false},
      {"a FAT volume",
       [](sim::SimFileSystem& files, const std::string& root) {
         files.setFolderSecurity(root, security::rootOfNt4And2000());
         files.setAccessLists(root[0], false);
       },
       true},
  };
  sim.processes.setWindowsNt(5);
  char drive = 'D';
  for (const Case& c : cases) {
    const std::string root = std::string(1, drive++) + ":\\";
    const std::string worm = root + "DOWNLOAD\\msblast.exe";
    plant(worm);
    sim.processes.process(sim.processes.start(worm)).canTerminate = false;
    c.arrange(sim.files, root);
    std::size_t foldersBefore = sim.files.protectedFolders().size();
    std::size_t scheduledBefore = sim.files.deletionsAtRestart().size();
    written.clear();
    scanSession().restartRequired = 0;
    remove(worm);
    EXPECT_EQ(written, Strings{line(worm, "Delete failed")}) << c.what;
    EXPECT_EQ(scanSession().restartRequired, c.scheduled ? 1 : 0) << c.what;
    Strings scheduled(sim.files.deletionsAtRestart().begin() + scheduledBefore,
                      sim.files.deletionsAtRestart().end());
    if (c.scheduled) {
      EXPECT_EQ(scheduled,
                (Strings{root + "Vandrel removal 1\\msblast.exe", root + "Vandrel removal 1"}))
          << c.what;
    } else {
      EXPECT_EQ(sim.files.protectedFolders().size(), foldersBefore) << c.what;
      EXPECT_TRUE(scheduled.empty()) << c.what;
      EXPECT_TRUE(sim.files.hasFile(worm)) << c.what << "\n" << sim.dump();
    }
  }
}

// A Windows folder that a user owns (Terminal Services hands each user one of their own) lets
// that user rename anything in it: the worm stays where it is, and its line says so.
TEST_F(FileRemedyTest, OnNtAWindowsFolderThatAUserOwnsTakesNoFolderForTheRestart) {
  sim.processes.setWindowsNt(5);
  sim.files.setFolderSecurity(
      R"(C:\WINDOWS)",
      security::descriptor(security::kSomeUser, {{security::kSomeUser, security::kFullControl}}));
  sim.processes.process(sim.processes.start(kWorm)).canTerminate = false;
  remove(kWorm);

  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_TRUE(sim.files.protectedFolders().empty());
  EXPECT_TRUE(sim.files.deletionsAtRestart().empty());
  EXPECT_EQ(scanSession().restartRequired, 0);
  EXPECT_TRUE(sim.files.hasFile(kWorm));
}

TEST_F(FileRemedyTest, ARestartIsOfferedOnlyForRemovalsReallyArranged) {
  sim.processes.setWindowsNt(5);
  const char* second = R"(C:\WINDOWS\TEMP\penis32.exe)";
  const char* third = R"(C:\WINDOWS\TEMP\teekids.exe)";
  for (const char* image : {kWorm, second, third}) {
    plant(image);
    sim.processes.process(sim.processes.start(image)).canTerminate = false;
  }

  sim.files.inject(sim::FileFault::Move, kWorm);
  remove(kWorm);
  EXPECT_EQ(scanSession().restartRequired, 0);

  remove(second);
  EXPECT_EQ(scanSession().restartRequired, 1);
  // A later removal that cannot be arranged does not take back the one that was.
  sim.files.inject(sim::FileFault::Move, third);
  remove(third);
  EXPECT_EQ(scanSession().restartRequired, 1);
}

TEST_F(FileRemedyTest, On98EachFileGetsItsOwnLineInWininit) {
  sim.processes.setWindows98();
  sim.files.addFile(R"(C:\WINDOWS\Wininit.ini)",
                    "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkeep=1\r\n");
  const char* second = R"(C:\WINDOWS\Temporary Files\msblast2.exe)";
  plant(second);
  sim.files.holdOpen(kWorm);
  sim.files.holdOpen(second);

  remove(kWorm);
  remove(second);

  EXPECT_EQ(wininit(),
            "[rename]\r\nNUL=C:\\OLD.EXE\r\nnul=C:\\WINDOWS\\SYSTEM32\\MSBLAST.EXE\r\n"
            "nul=C:\\WINDOWS\\TEMPOR~1\\MSBLAST2.EXE\r\n[other]\r\nkeep=1\r\n");
  EXPECT_EQ(scanSession().restartRequired, 1);
  EXPECT_EQ(written, (Strings{line(kWorm, "Delete failed"), line(second, "Delete failed")}));
}

TEST_F(FileRemedyTest, On98NothingIsWrittenWithoutAShortNameOrAWindowsFolder) {
  sim.processes.setWindows98();
  sim.files.holdOpen(kWorm);
  sim.files.inject(sim::FileFault::ShortName, kWorm);
  EXPECT_EQ(scheduleInWininit(kWorm), 0);

  sim.files.setWindowsDirectory(std::string(300, 'W'));
  sim.files.addFile(R"(C:\TEMP\other.exe)", "MZ");
  EXPECT_EQ(scheduleInWininit(R"(C:\TEMP\other.exe)"), 0);
  EXPECT_EQ(wininit(), "");
}

TEST_F(FileRemedyTest, OnAnUnknownPlatformNothingIsScheduled) {
  sim.processes.setVersion({3, 1, 0});
  sim.files.holdOpen(kWorm);
  WormFile file = identified(kWorm);
  deleteWormFile(file, kName);
  // Without a way to find the process the deletion is simply tried once more.
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_EQ(scheduleRemovalAtRestart(file), 0);
  EXPECT_EQ(scanSession().restartRequired, 0);
}

TEST_F(FileRemedyTest, TheMemoryPathAnnouncesTheRemovalThenDeletesASecondLater) {
  for (bool nt : {false, true}) {
    written.clear();
    writtenAt.clear();
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    nt ? sim.processes.setWindowsNt(5) : sim.processes.setWindows98();
    plant(kWorm);
    scanSession().memoryRemedyCode = 100;
    applyMemoryRemedy(kName, kWorm);

    EXPECT_EQ(written,
              (Strings{"System Memory    W32/Blaster.Worm removed", line(kWorm, "deleted")}));
    ASSERT_EQ(writtenAt.size(), 2u);
    EXPECT_EQ(writtenAt[1] - writtenAt[0], 1000u);
    EXPECT_EQ(scanSession().remedyCode, 100);
    EXPECT_EQ(scanSession().statistics.filesDeleted, 1) << (nt ? "NT" : "98");
  }
}

}  // namespace
