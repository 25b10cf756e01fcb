// What another user of the machine can do to a scan that runs with administrator rights in
// folders every user can write: swap a folder for a link between the check and the removal,
// make names that lead elsewhere, hard links and links. Whatever they do, no file is removed
// that was not identified through the handle that removes it.
#include <gtest/gtest.h>

#include "engine/blaster_check.h"
#include "engine/file_remedy.h"
#include "scan/directory_walker.h"
#include "scan/scan_exit_status.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"
#include "support/perf_data_block.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kLookAlike[] = R"(C:\WINDOWS\TEMP\d\notepad.exe)";
constexpr char kSystemFile[] = R"(C:\WINDOWS\SYSTEM32\notepad.exe)";
constexpr char kSystemContents[] = "MZ the system's own notepad";

class HostileUserTest : public SimTest {
 protected:
  HostileUserTest() {
    sim.processes.setWindowsNt(5);
    scanSession().inMemoryScan = 0;
    sim.files.addFile(kSystemFile, kSystemContents,
                      platform::kAttributeReadOnly | platform::kAttributeSystem);
  }
  static std::string worm() { return specimens::build(2, specimens::Variant::Plain)->bytes; }
  // The user's move: the look-alike's folder goes aside, and a junction of that name leads to
  // the system folder, where a file of the same name lies.
  void swapFolderForJunction() {
    ASSERT_TRUE(sim.files.rename(R"(C:\WINDOWS\TEMP\d)", R"(C:\WINDOWS\TEMP\aside)"));
    sim.files.addJunction(R"(C:\WINDOWS\TEMP\d)", R"(C:\WINDOWS\SYSTEM32)");
  }
  void expectSystemFileKept() {
    EXPECT_EQ(sim.files.contentsOf(kSystemFile), kSystemContents) << sim.dump();
  }
};

TEST_F(HostileUserTest, AFolderSwappedBetweenTheCheckAndTheRemovalLeadsTheRemovalNowhere) {
  sim.files.addFile(kLookAlike, worm());
  sim.files.beforeNextChange([this] { swapFolderForJunction(); });

  walkDirectory(R"(C:\WINDOWS\TEMP\*.*)");

  expectSystemFileKept();
  EXPECT_FALSE(sim.files.hasFile(R"(C:\WINDOWS\TEMP\aside\notepad.exe)"));
  EXPECT_EQ(written, Strings{std::string(kLookAlike) + "     W32/Blaster.Worm deleted"});
}

TEST_F(HostileUserTest, AFolderSwappedWhileTheMemoryScanWaitsGetsDeleteFailed) {
  sim.files.addFile(kLookAlike, worm());
  sim.clock.duringNextPause([this] { swapFolderForJunction(); });
  scanSession().memoryRemedyCode = kRemedyDelete;

  checkBlasterFile("W32/Blaster.Worm", kLookAlike);

  expectSystemFileKept();
  EXPECT_EQ(written, (Strings{"System Memory    W32/Blaster.Worm removed",
                              std::string(kLookAlike) + "     W32/Blaster.Worm Delete failed"}));
  EXPECT_EQ(scanSession().statistics.filesDeleted, 0);
}

// A look-alike that nobody can end: it is moved out of the user's reach before its name is
// scheduled, so the swap after the scan changes nothing of what the restart deletes.
TEST_F(HostileUserTest, WhatARestartDeletesCannotBeRedirectedAfterTheScan) {
  sim.files.addFile(kLookAlike, worm());
  sim.processes.process(sim.processes.start(kLookAlike)).canTerminate = false;

  walkDirectory(R"(C:\WINDOWS\TEMP\*.*)");
  swapFolderForJunction();

  ASSERT_EQ(sim.files.deletionsAtRestart().size(), 2u) << sim.dump();
  for (const std::string& scheduled : sim.files.deletionsAtRestart()) {
    EXPECT_EQ(scheduled.rfind(R"(C:\WINDOWS\Vandrel removal 1)", 0), 0u) << scheduled;
  }
  EXPECT_EQ(sim.files.contentsOf(R"(C:\WINDOWS\Vandrel removal 1\notepad.exe)"), worm());
  expectSystemFileKept();
}

// A second name of a worm file hides nothing: the file is counted as infected and its start-up
// values go, but it is never removed (the name may have been made for another user's file), and
// its line says so. A link is not followed: it is named as not examined.
TEST_F(HostileUserTest, ASecondNameIsIdentifiedButNeverRemovedAndALinkIsNotExamined) {
  sim.files.addFile(R"(C:\WINDOWS\SYSTEM32\real.exe)", worm());
  sim.files.addHardLink(R"(C:\WINDOWS\TEMP\second-name.exe)", R"(C:\WINDOWS\SYSTEM32\real.exe)");
  sim.files.addFileLink(R"(C:\WINDOWS\TEMP\link.exe)", R"(C:\WINDOWS\SYSTEM32\real.exe)");

  walkDirectory(R"(C:\WINDOWS\TEMP\*.*)");

  EXPECT_EQ(scanSession().statistics.filesScanned, 2);
  EXPECT_EQ(scanSession().statistics.filesInfected, 1);
  EXPECT_EQ(scanSession().statistics.filesDeleted, 0);
  EXPECT_EQ(scanSession().statistics.notExamined, 1);
  EXPECT_EQ(written,
            Strings{R"(C:\WINDOWS\TEMP\second-name.exe     W32/Blaster.Worm Delete failed)"});
  EXPECT_EQ(sim.files.contentsOf(R"(C:\WINDOWS\SYSTEM32\real.exe)"), worm());
  EXPECT_EQ(scanExitStatus(scanSession()), kExitNeedsAttention);
}

// "．．＼outside.exe" comes back from the code page's conversion as "..\outside.exe": joined
// as it is, it would name a file the walk never listed. The file is reached by its short name.
TEST_F(HostileUserTest, ANameThatConvertsToAPathIsReachedOnlyByItsShortName) {
  sim.files.addFile(R"(C:\WINDOWS\TEMP\outside.exe)", worm());
  std::string reached = sim.files.addFileOutsideTheCodePage(
      R"(C:\WINDOWS\TEMP\q)", R"(..\outside.exe)", "___O~HH4.EXE", worm());

  walkDirectory(R"(C:\WINDOWS\TEMP\q\*.*)");

  EXPECT_TRUE(sim.files.hasFile(R"(C:\WINDOWS\TEMP\outside.exe)"));
  EXPECT_EQ(written, Strings{reached + "     W32/Blaster.Worm deleted"});
  EXPECT_EQ(scanSession().statistics.filesScanned, 1);
}

// A name with characters the code page lacks comes back with '?': without a short name the file
// cannot be named at all. It is counted and shown, and nothing else is opened in its place.
TEST_F(HostileUserTest, ANameThatNoPathReachesIsCountedShownAndSkipped) {
  sim.files.addFile(R"(C:\WINDOWS\TEMP\q\plain.exe)", "MZ plain");
  sim.files.addFileOutsideTheCodePage(R"(C:\WINDOWS\TEMP\q)", "??.exe", "", worm());

  walkDirectory(R"(C:\WINDOWS\TEMP\q\*.*)");

  EXPECT_EQ(scanSession().statistics.filesScanned, 2);
  EXPECT_EQ(scanSession().statistics.filesInfected, 0);
  EXPECT_TRUE(written.empty());
  Strings shown = statusesWithoutDots();
  EXPECT_NE(std::find(shown.begin(), shown.end(), R"(C:\WINDOWS\TEMP\q\??.exe)"), shown.end())
      << ::testing::PrintToString(shown);
}

// Look-alikes named like the administrator's programs, held open so that they cannot be deleted:
// the programs share their names, not their files, and are neither asked to close nor ended.
TEST_F(HostileUserTest, ProgramsNamedLikeAHeldLookAlikeAreLeftRunning) {
  const char* shellImage = R"(C:\WINDOWS\EXPLORER.EXE)";
  const char* editorImage = R"(C:\OFFICE\WINWORD.EXE)";
  for (bool nt : {true, false}) {
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    scanSession().inMemoryScan = 0;
    written.clear();
    nt ? sim.processes.setWindowsNt(5) : sim.processes.setWindows98();
    sim.files.addFile(shellImage, "MZ shell");
    sim.files.addFile(editorImage, "MZ editor");
    platform::ProcessId shell = sim.processes.start(shellImage);
    platform::ProcessId editor = sim.processes.start(editorImage);
    for (platform::ProcessId id : {shell, editor}) {
      sim.processes.process(id).windows = 1;
      sim.processes.process(id).closesOnRequest = true;
    }
    std::vector<std::uint8_t> block =
        perfdata::BlockBuilder{}.build({{"explorer", shell}, {"WINWORD", editor}});
    sim.registry.setValue(platform::kRootLocalMachine,
                          R"(software\microsoft\windows nt\currentversion\perflib\009)", "Counters",
                          platform::kRegMultiSz, perfdata::counterTitles());
    sim.registry.setValue(platform::kRootPerformanceData, "", "230", platform::kRegBinary,
                          std::string(block.begin(), block.end()));
    const Strings lookAlikes = {R"(C:\WINDOWS\TEMP\k\explorer.exe)",
                                R"(C:\WINDOWS\TEMP\k\winword.exe)"};
    for (const std::string& lookAlike : lookAlikes) {
      sim.files.addFile(lookAlike, worm());
      sim.files.holdOpen(lookAlike);
    }

    walkDirectory(R"(C:\WINDOWS\TEMP\k\*.*)");

    EXPECT_TRUE(sim.processes.isRunning(shell)) << (nt ? "NT" : "98");
    EXPECT_TRUE(sim.processes.isRunning(editor)) << (nt ? "NT" : "98");
    EXPECT_EQ(written, (Strings{lookAlikes[0] + "     W32/Blaster.Worm Delete failed",
                                lookAlikes[1] + "     W32/Blaster.Worm Delete failed"}))
        << (nt ? "NT" : "98");
  }
}

}  // namespace
