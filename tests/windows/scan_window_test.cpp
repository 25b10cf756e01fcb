// The scanning window and the thank-you window, worked through the UI driver: the whole flow,
// and the scan interrupted by Cancel or Escape with the prompt answered both ways.
#include <vector>

#include "res/resource.h"
#include "windows/window_test_support.h"

namespace wintest {
namespace {

// Enough files that the walk of the temporary folder takes several seconds under Wine: the tests
// that interrupt the walk need it still running when their Cancel or Escape arrives, and the
// system promises no time for that. At 4,000 files the walk had become short enough (under two
// seconds) for a stalled driver to miss it.
constexpr int kSlowScanFiles = 8000;

int scannedCountIn(const std::string& line) {
  const std::string head = "Total files scanned\t\t:  ";
  if (line.rfind(head, 0) != 0) return -1;
  return std::stoi(line.substr(head.size()));
}

class ScanWindow : public VandrelWindowTest {
 protected:
  ScanWindow() : tree(kSlowScanFiles) {}

  // Starts the program and the scan, and returns the scanning window once the walk is under
  // way; null (with a failure) when something did not come.
  HWND scanUnderWay() {
    HWND main = startAndWaitForMainWindow();
    HWND scanning = main != nullptr ? startScan(main) : nullptr;
    if (scanning == nullptr || !waitForWalk(scanning)) {
      ADD_FAILURE() << "the scan did not get under way";
      return nullptr;
    }
    return scanning;
  }

  // Exactly one of Cancel and OK is visible.
  static void expectButtons(HWND scanning, bool scanRunning) {
    EXPECT_EQ(uidriver::controlVisible(scanning, IDCANCEL), scanRunning);
    EXPECT_EQ(uidriver::controlVisible(scanning, IDC_SCAN_OK), !scanRunning);
  }

  static bool statusBecomes(HWND scanning, const std::string& text) {
    return uidriver::waitUntil(
        [&] { return uidriver::controlText(scanning, IDC_SCAN_STATUS) == text; }, kScanTimeoutMs);
  }

  // The four statistics lines that end the log; returns the number of files scanned.
  static int expectStatistics(HWND scanning) {
    std::vector<std::string> lines = uidriver::listBoxLines(scanning, IDC_SCAN_LOG);
    if (lines.size() < 4) {
      ADD_FAILURE() << "the log holds " << lines.size() << " lines";
      return -1;
    }
    std::vector<std::string> tail(lines.end() - 4, lines.end());
    EXPECT_EQ(tail[0], "Scanning statistics\t\t:");
    EXPECT_EQ(tail[2], "Total files infected\t\t:  0");
    EXPECT_EQ(tail[3], "Total files deleted\t\t:  0");
    return scannedCountIn(tail[1]);
  }

  // Gets the walk under way, then asks to end it (by Cancel or by Escape) and waits for the
  // prompt, checking its text; prompt is null (with a failure) when something did not come.
  struct Interrupted {
    HWND scanning = nullptr;
    HWND prompt = nullptr;
  };
  Interrupted interruptTheWalk(bool withEscape) {
    Interrupted walk;
    walk.scanning = scanUnderWay();
    if (walk.scanning == nullptr) return walk;
    if (withEscape) {
      EXPECT_TRUE(uidriver::pressKey(walk.scanning, VK_ESCAPE));
    } else {
      EXPECT_TRUE(uidriver::clickButton(walk.scanning, IDCANCEL));
    }
    walk.prompt = waitForMessageBox("Warning");
    if (walk.prompt == nullptr) {
      ADD_FAILURE() << "no prompt";
      return walk;
    }
    EXPECT_EQ(uidriver::messageBoxText(walk.prompt), "Terminate the Scan now?");
    // The prompt holds the walk in the middle: the status line shows where.
    EXPECT_EQ(uidriver::controlText(walk.scanning, IDC_SCAN_STATUS).rfind("C:\\", 0), 0u);
    return walk;
  }

  // Ends the walk through the prompt answered Yes; returns the scanning window once the status
  // line says so, or null (with a failure).
  HWND terminateTheWalk(bool withEscape) {
    Interrupted walk = interruptTheWalk(withEscape);
    if (walk.prompt == nullptr) return nullptr;
    answer(walk.prompt, IDYES);
    if (!statusBecomes(walk.scanning, "Scanning terminated")) {
      ADD_FAILURE() << "the scan did not end as terminated";
      return nullptr;
    }
    return walk.scanning;
  }

  void answer(HWND prompt, int button) {
    ASSERT_TRUE(uidriver::answerMessageBox(prompt, button));
    ASSERT_TRUE(uidriver::waitUntil([&] { return !IsWindow(prompt); }, kWindowTimeoutMs));
  }

  SlowScanTree tree;
};

TEST_F(ScanWindow, AWholeRunGoesFromTheMainWindowThroughTheScanToTheThankYouWindow) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND scanning = startScan(main);
  ASSERT_NE(scanning, nullptr) << "the scanning window did not come";
  EXPECT_EQ(uidriver::windowText(scanning), "Vandrel Ver 4.0");
  EXPECT_EQ(uidriver::controlText(scanning, IDC_TITLE_LINE),
            "Searching for variants of W32/Blaster.Worm files...");
  EXPECT_FALSE(uidriver::clickCloseBox(scanning)) << "the scanning window has a close box";
  expectButtons(scanning, true);

  ASSERT_TRUE(waitForWalk(scanning));
  screenshot(scanning, "scanning");
  expectButtons(scanning, true);

  ASSERT_TRUE(waitForScanEnd(scanning)) << "the scan did not end";
  screenshot(scanning, "scanned");
  expectButtons(scanning, false);
  EXPECT_EQ(uidriver::controlText(scanning, IDC_SCAN_STATUS), "Scanning completed");
  EXPECT_GE(expectStatistics(scanning), kSlowScanFiles);

  ASSERT_TRUE(uidriver::clickButton(scanning, IDC_SCAN_OK));
  HWND thanks = waitForWindow(IDC_HOME_LINK);
  ASSERT_NE(thanks, nullptr) << "the thank-you window did not come";
  screenshot(thanks, "thanks");
  EXPECT_FALSE(IsWindowVisible(scanning)) << "the scanning window stays beside the thanks";
  EXPECT_EQ(uidriver::windowText(thanks), "Vandrel Ver 4.0");
  EXPECT_EQ(uidriver::controlText(thanks, IDC_TITLE_LINE),
            "Thank you for using the Vandrel program. You can protect your computer");
  EXPECT_EQ(uidriver::controlText(thanks, IDC_HOME_LINK).find("http://"), 0u);

  ASSERT_TRUE(uidriver::clickButton(thanks, IDOK));
  ASSERT_TRUE(program->waitForExit(kWindowTimeoutMs)) << "the program did not end";
  EXPECT_EQ(program->exitCode(), 0);
}

TEST_F(ScanWindow, CancelAnsweredNoLetsTheScanGoOn) {
  Interrupted walk = interruptTheWalk(false);
  HWND scanning = walk.scanning, prompt = walk.prompt;
  ASSERT_NE(prompt, nullptr);
  screenshot(prompt, "prompt");
  answer(prompt, IDNO);
  expectButtons(scanning, true);

  ASSERT_TRUE(statusBecomes(scanning, "Scanning completed"));
  EXPECT_GE(expectStatistics(scanning), kSlowScanFiles);
  finishFlow(scanning, Close::CloseBox);
}

TEST_F(ScanWindow, CancelAnsweredYesShowsOKAndEndsTheScanWithItsStatistics) {
  HWND scanning = terminateTheWalk(false);
  ASSERT_NE(scanning, nullptr);
  expectButtons(scanning, false);
  screenshot(scanning, "terminated");
  int scanned = expectStatistics(scanning);
  EXPECT_GE(scanned, 0);
  EXPECT_LT(scanned, kSlowScanFiles) << "the walk went on after Yes";
  finishFlow(scanning, Close::EscapeKey);
}

TEST_F(ScanWindow, EscapeDuringTheScanAsksToo) {
  HWND scanning = terminateTheWalk(true);
  ASSERT_NE(scanning, nullptr);
  ASSERT_TRUE(waitForScanEnd(scanning));
  finishFlow(scanning);
}

}  // namespace
}  // namespace wintest
