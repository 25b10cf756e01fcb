// The platform classification, the two process lists and ending a process by its file name
// through ToolHelp.
#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "system/process_backends.h"

namespace {

class ProcessBackendsTest : public SimTest {};

// The records of a list, in order, to be looked at by index.
std::vector<const ProcessRecord*> recordsOf(const ProcessList& list) {
  std::vector<const ProcessRecord*> records;
  for (const ProcessRecord& record : list) records.push_back(&record);
  return records;
}

TEST_F(ProcessBackendsTest, ClassifiesThePlatformAndTheNtGeneration) {
  struct Case {
    platform::VersionInfo version;
    int platformClass;
    int ntGeneration;
  };
  const Case cases[] = {
      {{1, 4, 10}, 4, 0},                     // Windows 98
      {{2, 3, 51}, 5, 5},                     // NT 3.51
      {{2, 4, 0}, 5, 5},                      // NT 4.0
      {{2, 5, 1}, 5, 6},                      // XP
      {{2, 6, 1}, 5, 0},                      // 7
      {{2, 10, 0}, 5, 0}, {{0, 3, 1}, 1, 0},  // Win32s
  };
  for (const Case& c : cases) {
    sim.processes.setVersion(c.version);
    EXPECT_EQ(getPlatformClass(), c.platformClass)
        << c.version.platformId << "." << c.version.majorVersion;
    EXPECT_EQ(getNtGeneration(), c.ntGeneration)
        << c.version.platformId << "." << c.version.majorVersion;
  }
  sim.processes.failVersionQuery();
  EXPECT_EQ(getPlatformClass(), 0);
  EXPECT_EQ(getNtGeneration(), 0);
}

TEST_F(ProcessBackendsTest, ToolhelpListsEveryProcessWithItsImageInOrder) {
  sim.processes.setWindows98();
  sim.files.addFile(R"(C:\WINDOWS\EXPLORER.EXE)");
  platform::ProcessId first = sim.processes.start(R"(C:\WINDOWS\EXPLORER.EXE)");
  platform::ProcessId second = sim.processes.start(R"(C:\WINDOWS\SYSTEM\msblast.exe)");

  ProcessList list;
  ASSERT_TRUE(listProcessesToolhelp(list));
  std::vector<const ProcessRecord*> records = recordsOf(list);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->processId, first);
  EXPECT_STREQ(records[0]->imagePath, R"(C:\WINDOWS\EXPLORER.EXE)");
  EXPECT_EQ(records[1]->processId, second);

  sim.processes.toolhelpPresent = false;
  EXPECT_FALSE(listProcessesToolhelp(list));
}

TEST_F(ProcessBackendsTest, PsapiSkipsProcessesWhoseImageCannotBeRead) {
  platform::ProcessId readable = sim.processes.start(R"(C:\WINNT\system32\svchost.exe)");
  sim.processes.process(sim.processes.start(R"(C:\WINNT\system32\lsass.exe)")).canOpen = false;
  sim.processes.process(sim.processes.start(R"(C:\WINNT\system32\csrss.exe)")).imageReadable =
      false;

  ProcessList list;
  ASSERT_TRUE(listProcessesPsapi(list));
  std::vector<const ProcessRecord*> records = recordsOf(list);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->processId, readable);
  EXPECT_STREQ(records[0]->imagePath, R"(C:\WINNT\system32\svchost.exe)");

  sim.processes.psapiPresent = false;
  EXPECT_FALSE(listProcessesPsapi(list));
}

TEST_F(ProcessBackendsTest, ToolhelpEndsTheFirstProcessThatRunsTheFileIgnoringCase) {
  sim.processes.setWindows98();
  sim.processes.start(R"(C:\WINDOWS\EXPLORER.EXE)");
  // A program of the same name that runs another file comes first, and is passed over.
  platform::ProcessId lookAlike = sim.processes.start(R"(C:\OTHER\msblast.exe)");
  platform::ProcessId worm = sim.processes.start(R"(C:\WINDOWS\SYSTEM\MSBLAST.EXE)");
  platform::ProcessId twin = sim.processes.start(R"(C:\WINDOWS\SYSTEM\MSBLAST.EXE)");

  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\SYSTEM\msblast.exe)"), 1);
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{worm});
  EXPECT_TRUE(sim.processes.isRunning(twin));
  EXPECT_TRUE(sim.processes.isRunning(lookAlike));
}

// The administrator's editor shares the held look-alike's file name, not its file: it is left
// running. Its short path names the file as well as its long one.
TEST_F(ProcessBackendsTest, ToolhelpConfirmsTheWholePathLongOrShort) {
  sim.processes.setWindows98();
  platform::ProcessId editor = sim.processes.start(R"(C:\APPS\winword.exe)");
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\TEMP\k\winword.exe)"), 0);
  EXPECT_TRUE(sim.processes.isRunning(editor));

  sim.files.addFile(R"(C:\Program Files\Worm Folder\msblast.exe)", "MZ");
  platform::ProcessId worm = sim.processes.start(R"(C:\PROGRA~1\WORMFO~1\MSBLAST.EXE)");
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\Program Files\Worm Folder\msblast.exe)"), 1);
  EXPECT_FALSE(sim.processes.isRunning(worm));
}

// Where the entries name no folder (as Wine's do), the process-status library tells the path;
// without it the process is not ended.
TEST_F(ProcessBackendsTest, ToolhelpEntriesWithoutAFolderAreConfirmedThroughTheImagePath) {
  sim.processes.setWindows98();
  sim.processes.toolhelpNamesFilesOnly = true;
  platform::ProcessId editor = sim.processes.start(R"(C:\APPS\winword.exe)");
  platform::ProcessId worm = sim.processes.start(R"(C:\WINDOWS\TEMP\winword.exe)");
  // The walk of the temporary folder names it with the doubled backslash the folder's pattern
  // keeps: the same place.
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\TEMP\\winword.exe)"), 1);
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{worm});

  sim.processes.psapiPresent = false;
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\APPS\winword.exe)"), 0);
  EXPECT_TRUE(sim.processes.isRunning(editor));
}

TEST_F(ProcessBackendsTest, ToolhelpReportsWhenNothingWasEnded) {
  sim.processes.setWindows98();
  platform::ProcessId guarded = sim.processes.start(R"(C:\WINDOWS\guarded.exe)");
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\absent.exe)"), 0);

  sim.processes.process(guarded).canOpen = false;
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\guarded.exe)"), 0);
  sim.processes.process(guarded).canOpen = true;
  sim.processes.process(guarded).canTerminate = false;
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\guarded.exe)"), 0);

  sim.processes.toolhelpPresent = false;
  EXPECT_EQ(terminateByNameToolhelp(R"(C:\WINDOWS\guarded.exe)"), 0);
  EXPECT_TRUE(sim.processes.isRunning(guarded));
}

TEST_F(ProcessBackendsTest, TerminatingByNameFollowsThePlatform) {
  sim.processes.setWindows98();
  platform::ProcessId worm = sim.processes.start(R"(C:\WINDOWS\msblast.exe)");
  EXPECT_EQ(terminateProcessByFileName(R"(C:\WINDOWS\msblast.exe)", nullptr), 1);
  EXPECT_FALSE(sim.processes.isRunning(worm));

  // On NT a process is confirmed by the file's identity: without one nothing is ended.
  sim.processes.setWindowsNt(5);
  sim.files.addFile(R"(C:\WINDOWS\msblast.exe)", "MZ");
  worm = sim.processes.start(R"(C:\WINDOWS\msblast.exe)");
  EXPECT_EQ(terminateProcessByFileName(R"(C:\WINDOWS\msblast.exe)", nullptr), 0);
  EXPECT_TRUE(sim.processes.isRunning(worm));

  // Another platform has no way to look: the caller just tries again.
  sim.processes.setVersion({3, 1, 0});
  EXPECT_EQ(terminateProcessByFileName(R"(C:\WINDOWS\msblast.exe)", nullptr), 1);
  EXPECT_TRUE(sim.processes.isRunning(worm));
}

TEST_F(ProcessBackendsTest, OnlyPathsOnFixedDrivesOfThisMachineCount) {
  sim.files.setDriveType('Z', platform::kDriveRemote);
  sim.files.setDriveType('A', platform::kDriveRemovable);
  EXPECT_TRUE(isOnFixedDrive(R"(C:\WINDOWS\msblast.exe)"));
  for (const char* path : {R"(\\server\share\tool.exe)", R"(Z:\tool.exe)", R"(A:\tool.exe)",
                           "tool.exe", R"(C:tool.exe)", ""}) {
    EXPECT_FALSE(isOnFixedDrive(path)) << path;
  }
}

}  // namespace
