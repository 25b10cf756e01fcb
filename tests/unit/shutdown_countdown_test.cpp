#include <gtest/gtest.h>

#include "scan/scan_driver.h"
#include "scan/scan_exit_status.h"
#include "sim_fixture.h"
#include "system/shutdown_countdown.h"

namespace {

const char kAbortedLine[] =
    "System Shutdown     aborted: the RPC service has failed; restart the computer after the scan";

class ShutdownCountdownTest : public SimTest {
 protected:
  ShutdownCountdownTest() {
    sim.files.setWindowsDirectory(R"(C:\WINDOWS)");
    sim.files.setTempDirectory(R"(C:\TEMP\)");
    sim.files.addFile(R"(C:\WINDOWS\win.ini)");
  }
};

// The countdown the failed RPC service starts is stopped before the scan; the scan says so first
// and offers the restart at its end, which the user may decline.
TEST_F(ShutdownCountdownTest, AShutdownInProgressIsAbortedSaidAndTheRestartOffered) {
  sim.processes.shutdownInProgress = true;

  EXPECT_TRUE(abortShutdownCountdown());
  EXPECT_FALSE(sim.processes.shutdownInProgress);
  EXPECT_EQ(sim.processes.shutdownsAborted(), 1);

  runScan();
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.front(), kAbortedLine);
  EXPECT_EQ(std::count(written.begin(), written.end(), kAbortedLine), 1);
  ASSERT_EQ(sim.desktop.messageBoxes().size(), 1u);
  EXPECT_EQ(sim.desktop.messageBoxes()[0].style, platform::kBoxYesNo);
  EXPECT_EQ(sim.processes.restartsRequested(), 0);
  // Nothing was found: the aborted shutdown makes the scan no less clean.
  EXPECT_EQ(scanExitStatus(scanSession()), kExitClean);
}

TEST_F(ShutdownCountdownTest, TheRestartOfferedAfterAnAbortedShutdownRestartsWhenAccepted) {
  sim.processes.shutdownInProgress = true;
  sim.desktop.answerMessageBoxes({platform::kAnswerYes});
  abortShutdownCountdown();
  runScan();
  EXPECT_EQ(sim.processes.restartsRequested(), 1);
}

// Whenever nothing was aborted nothing is said and no restart is offered: none in progress, no
// function to abort one, the privilege refused (the countdown then goes on), the 95/98/Me
// family.
TEST_F(ShutdownCountdownTest, NothingIsSaidWhenNoShutdownWasAborted) {
  struct Case {
    const char* what;
    bool inProgress, functionPresent, privilegeGranted, windows98;
  };
  const Case cases[] = {
      {"none in progress", false, true, true, false},
      {"the function missing", true, false, true, false},
      {"the privilege refused", true, true, false, false},
      {"Windows 98", true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    written.clear();
    sim.processes.shutdownInProgress = c.inProgress;
    sim.processes.abortShutdownPresent = c.functionPresent;
    sim.processes.shutdownPrivilegeGranted = c.privilegeGranted;
    if (c.windows98) {
      sim.processes.setWindows98();
    } else {
      sim.processes.setWindowsNt(5);
    }

    EXPECT_FALSE(abortShutdownCountdown());
    EXPECT_EQ(sim.processes.shutdownInProgress, c.inProgress);
    EXPECT_EQ(sim.processes.shutdownsAborted(), 0);
    runScan();
    EXPECT_EQ(std::count(written.begin(), written.end(), kAbortedLine), 0);
    EXPECT_EQ(sim.desktop.messageBoxes().size(), 0u);
  }
}

}  // namespace
