// Deleting worm files: every path of the deletion sequence and of the removal at restart.
#include <gtest/gtest.h>

#include "engine/file_remedy.h"
#include "sim_fixture.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kWorm[] = R"(C:\WINDOWS\SYSTEM32\msblast.exe)";
constexpr char kName[] = "W32/Blaster.Worm";

class FileRemedyTest : public SimTest {
 protected:
  FileRemedyTest() {
    scanSession().inMemoryScan = 0;
    sim.files.addFile(kWorm, "MZ");
  }
  std::string line(const char* path, const char* outcome) const {
    return std::string(path) + "     " + kName + " " + outcome;
  }
  std::string wininit() const { return sim.files.contentsOf(R"(C:\WINDOWS\Wininit.ini)"); }
};

TEST_F(FileRemedyTest, AProtectedFileIsMadeDeletableAndDeleted) {
  sim.files.addFile(
      kWorm, "MZ",
      platform::kAttributeReadOnly | platform::kAttributeHidden | platform::kAttributeSystem);
  applyFileRemedy(kName, kWorm);

  EXPECT_FALSE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, Strings{line(kWorm, "deleted")});
  EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
  EXPECT_STREQ(scanSession().currentVirusName, kName);
  EXPECT_STREQ(scanSession().statusText, kWorm);
  EXPECT_EQ(scanSession().remedyCode, 100);
}

TEST_F(FileRemedyTest, AFileWhoseAttributesCannotBeChangedIsLeftAlone) {
  sim.processes.setWindowsNt(5);
  sim.files.inject(sim::FileFault::SetAttributes, kWorm);
  deleteWormFile(kWorm, kName);

  EXPECT_TRUE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_TRUE(sim.files.deletionsAtRestart().empty());
  EXPECT_EQ(scanSession().restartRequired, 0);
}

TEST_F(FileRemedyTest, TheRunningWormIsEndedAndItsFileDeleted) {
  sim.processes.setWindows98();
  platform::ProcessId worm = sim.processes.start(kWorm);
  deleteWormFile(kWorm, kName);

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
  deleteWormFile(kWorm, kName);

  EXPECT_TRUE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_EQ(wininit(), "");
  EXPECT_EQ(scanSession().restartRequired, 1);
}

TEST_F(FileRemedyTest, OnNtAFileHeldByAnotherProgramIsDeletedAtRestart) {
  sim.processes.setWindowsNt(6);
  sim.files.holdOpen(kWorm);
  deleteWormFile(kWorm, kName);

  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_EQ(sim.files.deletionsAtRestart(), Strings{kWorm});
  EXPECT_EQ(scanSession().restartRequired, 1);
}

TEST_F(FileRemedyTest, ARestartIsOfferedOnlyForRemovalsReallyArranged) {
  sim.processes.setWindowsNt(5);
  const char* second = R"(C:\WINDOWS\TEMP\penis32.exe)";
  sim.files.addFile(second, "MZ");
  sim.files.holdOpen(kWorm);
  sim.files.holdOpen(second);

  sim.files.inject(sim::FileFault::DeleteAtRestart, kWorm);
  deleteWormFile(kWorm, kName);
  EXPECT_EQ(scanSession().restartRequired, 0);

  deleteWormFile(second, kName);
  EXPECT_EQ(scanSession().restartRequired, 1);
  // A later removal that cannot be arranged does not take back the one that was.
  sim.files.inject(sim::FileFault::DeleteAtRestart, second);
  deleteWormFile(second, kName);
  EXPECT_EQ(scanSession().restartRequired, 1);
}

TEST_F(FileRemedyTest, On98EachFileGetsItsOwnLineInWininit) {
  sim.processes.setWindows98();
  sim.files.addFile(R"(C:\WINDOWS\Wininit.ini)",
                    "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkeep=1\r\n");
  const char* second = R"(C:\WINDOWS\Temporary Files\msblast2.exe)";
  sim.files.addFile(second, "MZ");
  sim.files.holdOpen(kWorm);
  sim.files.holdOpen(second);

  deleteWormFile(kWorm, kName);
  deleteWormFile(second, kName);

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
  EXPECT_EQ(scheduleRemovalAtRestart(kWorm), 0);

  sim.files.setWindowsDirectory(std::string(300, 'W'));
  sim.files.addFile(R"(C:\TEMP\other.exe)", "MZ");
  EXPECT_EQ(scheduleRemovalAtRestart(R"(C:\TEMP\other.exe)"), 0);
  EXPECT_EQ(wininit(), "");
}

TEST_F(FileRemedyTest, OnAnUnknownPlatformNothingIsScheduled) {
  sim.processes.setVersion({3, 1, 0});
  sim.files.holdOpen(kWorm);
  deleteWormFile(kWorm, kName);
  // Without a way to find the process the deletion is simply tried once more.
  EXPECT_EQ(written, Strings{line(kWorm, "Delete failed")});
  EXPECT_EQ(scheduleRemovalAtRestart(kWorm), 0);
  EXPECT_EQ(scanSession().restartRequired, 0);
}

TEST_F(FileRemedyTest, TheMemoryPathAnnouncesTheRemovalThenDeletesASecondLater) {
  sim.processes.setWindows98();
  scanSession().memoryRemedyCode = 100;
  applyMemoryRemedy(kName, kWorm);

  EXPECT_EQ(written,
            (Strings{"System Memory    W32/Blaster.Worm removed", line(kWorm, "deleted")}));
  ASSERT_EQ(writtenAt.size(), 2u);
  EXPECT_EQ(writtenAt[1] - writtenAt[0], 1000u);
  EXPECT_EQ(scanSession().remedyCode, 100);
  EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
}

}  // namespace
