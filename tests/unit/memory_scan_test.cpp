// The memory scan: running worm processes are found through their images, ended, and their
// images removed; on NT a worm that cannot be dealt with ends the program.
#include <gtest/gtest.h>

#include "scan/scan_driver.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"
#include "support/perf_data_block.h"
#include "system/memory_scan.h"
#include "system/restart.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kWorm[] = R"(C:\WINDOWS\SYSTEM32\msblast.exe)";
constexpr char kRemovedFromMemory[] = "System Memory    W32/Blaster.Worm removed";

class MemoryScanTest : public SimTest {
 protected:
  MemoryScanTest() {
    sim.files.addFile(R"(C:\WINDOWS\EXPLORER.EXE)", "MZ plain program");
    sim.processes.start(R"(C:\WINDOWS\EXPLORER.EXE)");
  }
  platform::ProcessId startWorm(const std::string& path = kWorm) {
    sim.files.addFile(path, specimens::build(2, specimens::Variant::Plain)->bytes);
    return sim.processes.start(path);
  }
  static std::string deletedLine(const std::string& path) {
    return path + "     W32/Blaster.Worm deleted";
  }
};

TEST_F(MemoryScanTest, WithNoWormRunningEveryImageIsExaminedAndNothingEnded) {
  sim.processes.setWindowsNt(5);
  sim.files.addFile(R"(C:\WINDOWS\SYSTEM32\svchost.exe)", "MZ another program");
  sim.processes.start(R"(C:\WINDOWS\SYSTEM32\svchost.exe)");

  runMemoryScan();

  EXPECT_EQ(statuses,
            (Strings{R"(C:\WINDOWS\EXPLORER.EXE)", R"(C:\WINDOWS\SYSTEM32\svchost.exe)"}));
  EXPECT_TRUE(sim.processes.terminated().empty());
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(scanSession().inMemoryScan, 0);
  EXPECT_EQ(scanSession().memoryRestartRequired, 0);
  EXPECT_EQ(scanSession().statistics.filesScanned, 0);
}

TEST_F(MemoryScanTest, On98AWormProcessIsEndedAndItsImageRemoved) {
  sim.processes.setWindows98();
  platform::ProcessId worm = startWorm();

  runMemoryScan();

  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{worm});
  EXPECT_FALSE(sim.files.hasFile(kWorm)) << sim.dump();
  EXPECT_EQ(written, (Strings{kRemovedFromMemory, deletedLine(kWorm)}));
  EXPECT_EQ(writtenAt[1] - writtenAt[0], 1000u);
  EXPECT_EQ(scanSession().statistics.filesInfected, 1);
  EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
  EXPECT_EQ(scanSession().memoryRemedyCode, 0);
  EXPECT_EQ(scanSession().inMemoryScan, 0);
}

// NT 4.0 as installed has no process-status library: the performance data name the processes and
// the native layer reads each one's image path. The scan finds, ends and removes the worm as it
// does with the library, and leaves a program that merely shares the worm's name running.
TEST_F(MemoryScanTest, OnNt4WithoutTheProcessStatusLibraryTheWormIsFoundThroughThePerformanceData) {
  sim.processes.setWindowsNt(4);
  sim.processes.psapiPresent = false;
  platform::ProcessId worm = startWorm();
  sim.files.addFile(R"(C:\TOOLS\msblast.exe)", "MZ plain program");
  platform::ProcessId lookAlike = sim.processes.start(R"(C:\TOOLS\msblast.exe)");
  sim.registry.setValue(platform::kRootLocalMachine,
                        R"(software\microsoft\windows nt\currentversion\perflib\009)", "Counters",
                        platform::kRegMultiSz, perfdata::counterTitles());
  std::vector<std::uint8_t> block =
      perfdata::BlockBuilder{}.build({{"msblast", lookAlike}, {"msblast#1", worm}});
  sim.registry.setValue(platform::kRootPerformanceData, "", "230", platform::kRegBinary,
                        std::string(block.begin(), block.end()));

  runMemoryScan();

  EXPECT_FALSE(sim.processes.isRunning(worm)) << sim.dump();
  EXPECT_FALSE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, (Strings{kRemovedFromMemory, deletedLine(kWorm)}));
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{worm});
  EXPECT_TRUE(sim.processes.isRunning(lookAlike));
  EXPECT_EQ(statuses, (Strings{R"(C:\TOOLS\msblast.exe)", kWorm, kWorm}));

  // Without the native layer no image path can be read: nothing is examined, nothing ended.
  resetScanSessionForTest();
  scanSession().scanDialogWindow = window;
  written.clear();
  sim.processes.nativeLayerPresent = false;
  platform::ProcessId another = startWorm();
  block = perfdata::BlockBuilder{}.build({{"msblast", another}});
  sim.registry.setValue(platform::kRootPerformanceData, "", "230", platform::kRegBinary,
                        std::string(block.begin(), block.end()));
  runMemoryScan();
  EXPECT_TRUE(sim.processes.isRunning(another));
  EXPECT_TRUE(written.empty());
}

// Another user renames a running program's file and puts a worm look-alike under its old name:
// the process runs the renamed file, which is what its image is examined as. The look-alike is
// left to the file walk, and the innocent program runs on.
TEST_F(MemoryScanTest, TheFileAtAProcessesStartPathIsNotTakenForItsImage) {
  sim.processes.setWindowsNt(5);
  const char* editor = R"(C:\SHARED\editor.exe)";
  sim.files.addFile(editor, "MZ the editor");
  platform::ProcessId innocent = sim.processes.start(editor);
  ASSERT_TRUE(sim.files.rename(editor, R"(C:\SHARED\editor.old)"));
  sim.files.addFile(editor, specimens::build(2, specimens::Variant::Plain)->bytes);

  runMemoryScan();

  EXPECT_TRUE(sim.processes.isRunning(innocent));
  EXPECT_TRUE(sim.processes.terminated().empty());
  EXPECT_TRUE(sim.files.hasFile(editor));
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(scanSession().statistics.filesInfected, 0);
}

TEST_F(MemoryScanTest, OnNtAWormProcessIsEndedItsImageRemovedAndTheScanGoesOn) {
  for (std::uint32_t major : {4u, 5u, 6u, 10u}) {
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    written.clear();
    sim.processes.setWindowsNt(major);
    platform::ProcessId worm = startWorm();

    EXPECT_NO_THROW(runMemoryScan()) << "NT " << major;

    EXPECT_FALSE(sim.processes.isRunning(worm));
    EXPECT_FALSE(sim.files.hasFile(kWorm));
    EXPECT_EQ(written, (Strings{kRemovedFromMemory, deletedLine(kWorm)})) << "NT " << major;
    EXPECT_EQ(scanSession().memoryRestartRequired, 0);
  }
}

TEST_F(MemoryScanTest, AnImageThatCannotBeExaminedIsNeverEnded) {
  sim.processes.setWindows98();
  startWorm();
  std::string locked = R"(C:\WINDOWS\SYSTEM32\locked.exe)";
  platform::ProcessId lockedWorm = startWorm(locked);
  sim.files.inject(sim::FileFault::Open, locked);

  runMemoryScan();

  EXPECT_TRUE(sim.processes.isRunning(lockedWorm));
  EXPECT_EQ(sim.processes.terminated().size(), 1u);
}

TEST_F(MemoryScanTest, AnImageNamedWithoutItsFolderIsNotLookedUpElsewhere) {
  // A worm file that happens to lie in the current folder must not get a process of the same
  // name ended: the list names no folder, so the image cannot be examined.
  sim.processes.setWindows98();
  sim.processes.toolhelpNamesFilesOnly = true;
  sim.files.addFile("msblast.exe", specimens::build(2, specimens::Variant::Plain)->bytes);
  platform::ProcessId worm = startWorm();

  runMemoryScan();

  EXPECT_TRUE(sim.processes.isRunning(worm));
  EXPECT_TRUE(written.empty());
}

// The worm ends by itself while the scan examines the images, and the administrator starts a
// program: the system may give it the worm's id once nobody holds the worm's process. The scan
// holds every process from its listing on, so the process it ends is the one it examined.
TEST_F(MemoryScanTest, AnIdGivenToAnotherProgramMeanwhileIsNeverEnded) {
  for (bool nt : {false, true}) {
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    nt ? sim.processes.setWindowsNt(5) : sim.processes.setWindows98();
    platform::ProcessId worm = startWorm();
    platform::ProcessId editor = 0;
    platform::WindowHandle trigger =
        sim.desktop.addWindow([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
          sim.processes.end(worm);
          editor = sim.processes.startReusingId(R"(C:\OFFICE\WINWORD.EXE)");
          return 0;
        });
    sim.desktop.post({trigger, 0x0400, 0, 0});

    runMemoryScan();

    ASSERT_NE(editor, 0u) << "the other program never started";
    EXPECT_NE(editor, worm);
    EXPECT_TRUE(sim.processes.isRunning(editor)) << (nt ? "NT" : "98");
    // On NT the image of a process that has gone can no longer be told to be its image: the
    // memory scan leaves the file to the file walk, which finds it in the Windows tree.
    EXPECT_EQ(sim.files.hasFile(kWorm), nt);
  }
}

// A process reports its image path from its own memory, which its owner can write: a path on
// another machine is never examined, so the scan reaches no other machine with its rights.
TEST_F(MemoryScanTest, AnImageOnAnotherMachineIsNeverExamined) {
  sim.processes.setWindowsNt(5);
  sim.files.setDriveType('Z', platform::kDriveRemote);
  platform::ProcessId remote = startWorm(R"(\\server\share\tool.exe)");
  platform::ProcessId mapped = startWorm(R"(Z:\tool.exe)");
  int lookupsBefore = sim.files.remoteLookups();

  runMemoryScan();

  EXPECT_EQ(sim.files.remoteLookups(), lookupsBefore);
  EXPECT_TRUE(sim.processes.isRunning(remote));
  EXPECT_TRUE(sim.processes.isRunning(mapped));
  EXPECT_EQ(scanSession().statistics.filesInfected, 0);
}

TEST_F(MemoryScanTest, ACancelledScanConfirmsNoFurtherImage) {
  sim.processes.setWindows98();
  startWorm();
  scanSession().scanTerminated = 1;
  runMemoryScan();
  EXPECT_TRUE(sim.processes.terminated().empty());
  EXPECT_TRUE(sim.files.hasFile(kWorm));
  EXPECT_EQ(scanSession().inMemoryScan, 0);
}

TEST_F(MemoryScanTest, OnNtAWormKeptAliveAsAServiceIsStoppedThroughIt) {
  for (std::uint32_t major : {4u, 5u}) {
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    written.clear();
    sim.processes.setWindowsNt(major);
    platform::ProcessId worm = startWorm();
    sim.processes.process(worm).canTerminate = false;
    sim.services.addService("msblast", kWorm);
    int stopRequestsBefore = sim.services.stopRequests();

    runMemoryScan();

    EXPECT_FALSE(sim.processes.isRunning(worm)) << "NT " << major;
    EXPECT_FALSE(sim.services.hasService("msblast")) << sim.dump();
    EXPECT_FALSE(sim.files.hasFile(kWorm));
    EXPECT_EQ(written, (Strings{kRemovedFromMemory, deletedLine(kWorm)})) << "NT " << major;
    EXPECT_EQ(scanSession().memoryRestartRequired, 0);
    // The stop came from stopping the services of the image; the service was then deleted
    // without a second stop request.
    EXPECT_EQ(sim.services.stopRequests() - stopRequestsBefore, 1) << "NT " << major;
  }
}

TEST_F(MemoryScanTest, OnNtAWormThatCannotBeOpenedNeedsARestart) {
  sim.processes.setWindowsNt(5);
  platform::ProcessId worm = startWorm();
  // Its image can be read, but it cannot be opened to be ended. Its service, stopped, would
  // start it again at the next start of the system.
  sim.processes.process(worm).deniedRights = platform::kProcessTerminate;
  sim.services.addService("msblast", kWorm, platform::kServiceStopped);

  sim.desktop.answerMessageBoxes({platform::kAnswerCancel});

  EXPECT_THROW(runMemoryScan(), sim::ProgramEnded);

  EXPECT_TRUE(sim.processes.isRunning(worm));
  EXPECT_FALSE(sim.services.hasService("msblast")) << sim.dump();
  EXPECT_EQ(scanSession().memoryRestartRequired, 1);
  EXPECT_TRUE(written.empty());
  // A worm that goes on running ends the program after the restart offer.
  EXPECT_EQ(sim.desktop.messageBoxes().size(), 1u);
}

TEST_F(MemoryScanTest, AServiceThatOnlySharesTheWormsNameIsLeftAlone) {
  sim.processes.setWindowsNt(5);
  platform::ProcessId worm = startWorm(R"(C:\WINDOWS\SYSTEM32\spooler.exe)");
  sim.processes.process(worm).deniedRights = platform::kProcessTerminate;
  sim.services.addService("Spooler", R"(C:\WINDOWS\SYSTEM32\spoolsv.exe)");

  EXPECT_THROW(runMemoryScan(), sim::ProgramEnded);

  EXPECT_TRUE(sim.services.hasService("Spooler"));
  EXPECT_EQ(sim.services.stateOf("Spooler"), platform::kServiceRunning);
  EXPECT_EQ(scanSession().memoryRestartRequired, 1);
}

TEST_F(MemoryScanTest, OnNtGenerationZeroTheServicePathIsNeverTaken) {
  sim.processes.setWindowsNt(6);
  platform::ProcessId worm = startWorm();
  sim.processes.process(worm).canTerminate = false;
  sim.services.addService("msblast", kWorm);

  runMemoryScan();

  EXPECT_EQ(sim.services.stopRequests(), 0);
  EXPECT_TRUE(sim.services.hasService("msblast"));
  EXPECT_EQ(scanSession().memoryRestartRequired, 0);
}

// A worm that can be neither ended nor stopped as a service (its image without an extension,
// beside a folder of a like name, which once made its examination end in a pattern error).
class UnfinishedMemoryScanTest : public MemoryScanTest {
 protected:
  UnfinishedMemoryScanTest() {
    sim.processes.setWindowsNt(5);
    worm = startWorm(R"(C:\WINDOWS\SYSTEM32\msblast)");
    sim.files.addFolder(R"(C:\WINDOWS\SYSTEM32\msblast-data)");
    sim.processes.process(worm).canTerminate = false;
  }
  platform::ProcessId worm = 0;
};

TEST_F(UnfinishedMemoryScanTest, EndsTheProgramAfterTheRestartOfferAnsweredOk) {
  sim.desktop.answerMessageBoxes({platform::kAnswerOk});
  try {
    runMemoryScan();
    FAIL() << "the program went on";
  } catch (const sim::ProgramEnded& ended) {
    EXPECT_EQ(ended.exitCode, 0);
  }
  EXPECT_EQ(scanSession().memoryRestartRequired, 1);
  ASSERT_EQ(sim.desktop.messageBoxes().size(), 1u);
  const sim::ShownMessageBox& box = sim.desktop.messageBoxes()[0];
  EXPECT_EQ(box.text,
            "W32/Blaster.Worm found in memory! registry entries created by the worm are removed. "
            "You must restart the computer and run this program to continue scanning.\n\n"
            "Restart the computer now?");
  EXPECT_EQ(box.caption, "Vandrel Ver 4.0");
  EXPECT_EQ(box.style, platform::kBoxOkCancel);
  EXPECT_EQ(box.owner, 0u);
  EXPECT_EQ(sim.processes.restartsRequested(), 1);
}

TEST_F(UnfinishedMemoryScanTest, EndsTheProgramWithoutRestartWhenCancelled) {
  sim.desktop.answerMessageBoxes({platform::kAnswerCancel});
  EXPECT_THROW(runScan(), sim::ProgramEnded);
  EXPECT_EQ(sim.processes.restartsRequested(), 0);
  // Nothing of the file scan ran.
  EXPECT_EQ(scanSession().statistics.filesScanned, 0);
}

// Where there is no service route, the worm's file is left to the file walk, which schedules its
// removal at the next restart: the program does not end.
TEST_F(UnfinishedMemoryScanTest, OnNtGenerationZeroTheScanGoesOn) {
  sim.processes.setWindowsNt(6);
  EXPECT_NO_THROW(runMemoryScan());
  EXPECT_EQ(scanSession().memoryRestartRequired, 0);
  EXPECT_TRUE(sim.desktop.messageBoxes().empty());
}

// Another process's image path says nothing of the worm: one that names a folder, or a program
// without an extension beside a folder of a like name, does not end the scan before the file
// walk, and the worm file in the temporary folder is found there.
TEST_F(MemoryScanTest, AnInnocentImagePathDoesNotEndTheScanBeforeTheFileWalk) {
  sim.processes.setWindowsNt(5);
  sim.processes.start(R"(C:\WINDOWS)");
  sim.files.addFile(R"(C:\TOOLS\runner)", "MZ plain program without extension");
  sim.files.addFolder(R"(C:\TOOLS\runner-data)");
  sim.processes.start(R"(C:\TOOLS\runner)");
  const std::string temporaryWorm = R"(C:\WINDOWS\TEMP\worm.exe)";
  sim.files.addFile(temporaryWorm, specimens::build(2, specimens::Variant::Plain)->bytes);

  EXPECT_NO_THROW(runScan());

  EXPECT_FALSE(sim.files.hasFile(temporaryWorm)) << sim.dump();
  EXPECT_EQ(scanSession().statistics.filesInfected, 1);
  EXPECT_GT(scanSession().statistics.filesScanned, 0);
}

// Whatever order the system lists processes in, a worm ended and removed by the memory scan is
// no reason to end the program: with an ordinary program listed after it, the scan goes on to
// the file walk, which finds the worm's other copy.
TEST_F(MemoryScanTest, AWormEndedInMemoryLetsTheFileWalkRunWhateverIsListedAfterIt) {
  sim.processes.setWindowsNt(5);
  platform::ProcessId worm = startWorm();
  sim.files.addFile(R"(C:\WINDOWS\SYSTEM32\spoolsv.exe)", "MZ another program");
  sim.processes.start(R"(C:\WINDOWS\SYSTEM32\spoolsv.exe)");
  const std::string temporaryWorm = R"(C:\WINDOWS\TEMP\worm.exe)";
  sim.files.addFile(temporaryWorm, specimens::build(2, specimens::Variant::Plain)->bytes);

  EXPECT_NO_THROW(runScan());

  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{worm});
  EXPECT_FALSE(sim.files.hasFile(kWorm)) << sim.dump();
  EXPECT_FALSE(sim.files.hasFile(temporaryWorm)) << sim.dump();
  EXPECT_EQ(scanSession().statistics.filesInfected, 2);
  EXPECT_TRUE(sim.desktop.messageBoxes().empty());
}

// A folder named like the worm's image with another extension is no part of the image's
// examination: the worm is confirmed, ended and removed.
TEST_F(MemoryScanTest, AFolderBesideTheImageDoesNotHideTheWorm) {
  sim.processes.setWindowsNt(5);
  sim.files.addFolder(R"(C:\WINDOWS\SYSTEM32\msblast.d)");
  sim.files.addFile(R"(C:\WINDOWS\SYSTEM32\msblast.d\notes.txt)", "plain");
  platform::ProcessId worm = startWorm();

  runMemoryScan();

  EXPECT_FALSE(sim.processes.isRunning(worm));
  EXPECT_FALSE(sim.files.hasFile(kWorm));
  EXPECT_EQ(written, (Strings{kRemovedFromMemory, deletedLine(kWorm)}));
}

TEST_F(MemoryScanTest, ServiceNamesComeFromTheImageFileName) {
  char name[260];
  serviceNameFromPath(R"(C:\WINNT\system32\msblast.exe)", name);
  EXPECT_STREQ(name, "msblast");
  serviceNameFromPath(R"(C:\WINNT\system32\my.worm.exe)", name);
  EXPECT_STREQ(name, "my.worm");
  serviceNameFromPath("wormservice", name);
  EXPECT_STREQ(name, "wormservice");
}

TEST_F(MemoryScanTest, RestartingNeedsTheShutdownPrivilegeOnNtOnly) {
  sim.processes.setWindowsNt(5);
  sim.processes.shutdownPrivilegeGranted = false;
  EXPECT_EQ(restartComputer(), 1300);
  sim.processes.tokenOpens = false;
  EXPECT_EQ(restartComputer(), 0);
  EXPECT_EQ(sim.processes.restartsRequested(), 0);

  sim.processes.setWindows98();
  EXPECT_EQ(restartComputer(), 1);
  EXPECT_EQ(sim.processes.restartsRequested(), 1);

  sim.processes.setWindowsNt(5);
  sim.processes.tokenOpens = true;
  sim.processes.shutdownPrivilegeGranted = true;
  EXPECT_EQ(restartComputer(), 1);
  EXPECT_EQ(sim.processes.restartsRequested(), 2);
}

}  // namespace
