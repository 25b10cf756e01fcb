// The scanning window and the thank-you window, worked through the UI driver: the whole flow,
// and the Cancel prompt answered both ways.
#include <vector>

#include "res/resource.h"
#include "windows/window_test_support.h"

namespace wintest {
namespace {

// Enough files that the walk of the temporary folder takes a few seconds under Wine.
constexpr int kSlowScanFiles = 4000;

std::vector<std::string> lastLines(const std::vector<std::string>& lines, std::size_t count) {
  if (lines.size() < count) return lines;
  return std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(count), lines.end());
}

int scannedCountIn(const std::string& line) {
  const std::string head = "Total files scanned\t\t:  ";
  if (line.rfind(head, 0) != 0) return -1;
  return std::stoi(line.substr(head.size()));
}

// Exactly one of Cancel and OK is visible.
void expectButtons(HWND scanning, bool scanRunning) {
  EXPECT_EQ(uidriver::controlVisible(scanning, IDCANCEL), scanRunning);
  EXPECT_EQ(uidriver::controlVisible(scanning, IDC_SCAN_OK), !scanRunning);
}

class ScanWindow : public VandrelWindowTest {};

TEST_F(ScanWindow, AWholeRunGoesFromTheMainWindowThroughTheScanToTheThankYouWindow) {
  SlowScanTree tree(kSlowScanFiles);
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND scanning = startScan(main);
  ASSERT_NE(scanning, nullptr) << "the scanning window did not come";

  EXPECT_EQ(uidriver::windowText(scanning), "Vandrel Ver 4.0");
  EXPECT_EQ(uidriver::controlText(scanning, IDC_TITLE_LINE),
            "Searching for variants of W32/Blaster.Worm files...");
  expectButtons(scanning, true);

  // During the walk the status line shows the entry being looked at.
  ASSERT_TRUE(waitForWalk(scanning));
  screenshot(scanning, "scanning");
  expectButtons(scanning, true);

  ASSERT_TRUE(waitForScanEnd(scanning)) << "the scan did not end";
  screenshot(scanning, "scanned");
  expectButtons(scanning, false);
  EXPECT_EQ(uidriver::controlText(scanning, IDC_SCAN_STATUS), "Scanning completed");
  std::vector<std::string> tail = lastLines(uidriver::listBoxLines(scanning, IDC_SCAN_LOG), 4);
  ASSERT_EQ(tail.size(), 4u);
  EXPECT_EQ(tail[0], "Scanning statistics\t\t:");
  EXPECT_GE(scannedCountIn(tail[1]), kSlowScanFiles);
  EXPECT_EQ(tail[2], "Total files infected\t\t:  0");
  EXPECT_EQ(tail[3], "Total files deleted\t\t:  0");

  ASSERT_TRUE(uidriver::clickButton(scanning, IDC_SCAN_OK));
  HWND thanks = waitForWindow(IDC_HOME_LINK);
  ASSERT_NE(thanks, nullptr) << "the thank-you window did not come";
  screenshot(thanks, "thanks");
  EXPECT_FALSE(IsWindowVisible(scanning)) << "the scanning window stays while thanking";
  EXPECT_EQ(uidriver::windowText(thanks), "Vandrel Ver 4.0");
  EXPECT_EQ(uidriver::controlText(thanks, IDC_TITLE_LINE),
            "Thank you for using the Vandrel program. You can protect your computer");
  EXPECT_EQ(uidriver::controlText(thanks, IDC_HOME_LINK).find("http://"), 0u);

  ASSERT_TRUE(uidriver::clickButton(thanks, IDOK));
  ASSERT_TRUE(program->waitForExit(kWindowTimeoutMs)) << "the program did not end";
  EXPECT_EQ(program->exitCode(), 0);
}

TEST_F(ScanWindow, CancelAnsweredNoLetsTheScanGoOn) {
  SlowScanTree tree(kSlowScanFiles);
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND scanning = startScan(main);
  ASSERT_NE(scanning, nullptr);
  ASSERT_TRUE(waitForWalk(scanning));

  ASSERT_TRUE(uidriver::clickButton(scanning, IDCANCEL));
  HWND prompt = waitForMessageBox("Warning");
  ASSERT_NE(prompt, nullptr) << "no prompt";
  screenshot(prompt, "prompt");
  EXPECT_EQ(uidriver::messageBoxText(prompt), "Terminate the Scan now?");
  // The prompt came up in the middle of the walk.
  EXPECT_EQ(uidriver::controlText(scanning, IDC_SCAN_STATUS).rfind("C:\\", 0), 0u);

  ASSERT_TRUE(uidriver::answerMessageBox(prompt, IDNO));
  ASSERT_TRUE(uidriver::waitUntil([&] { return !IsWindow(prompt); }, kWindowTimeoutMs));
  expectButtons(scanning, true);

  ASSERT_TRUE(waitForScanEnd(scanning));
  EXPECT_EQ(uidriver::controlText(scanning, IDC_SCAN_STATUS), "Scanning completed");
  finishFlow(scanning);
}

TEST_F(ScanWindow, CancelAnsweredYesEndsTheScanWithItsStatistics) {
  SlowScanTree tree(kSlowScanFiles);
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND scanning = startScan(main);
  ASSERT_NE(scanning, nullptr);
  ASSERT_TRUE(waitForWalk(scanning));

  ASSERT_TRUE(uidriver::clickButton(scanning, IDCANCEL));
  HWND prompt = waitForMessageBox("Warning");
  ASSERT_NE(prompt, nullptr) << "no prompt";
  ASSERT_TRUE(uidriver::answerMessageBox(prompt, IDYES));
  ASSERT_TRUE(uidriver::waitUntil([&] { return !IsWindow(prompt); }, kWindowTimeoutMs));

  // OK replaces Cancel as the prompt goes; the driver then finishes with its statistics.
  EXPECT_TRUE(uidriver::waitUntil([&] { return uidriver::controlVisible(scanning, IDC_SCAN_OK); },
                                  kWindowTimeoutMs));
  expectButtons(scanning, false);
  ASSERT_TRUE(uidriver::waitUntil(
      [&] { return uidriver::controlText(scanning, IDC_SCAN_STATUS) == "Scanning terminated"; },
      kScanTimeoutMs));
  screenshot(scanning, "terminated");
  std::vector<std::string> tail = lastLines(uidriver::listBoxLines(scanning, IDC_SCAN_LOG), 4);
  ASSERT_EQ(tail.size(), 4u);
  EXPECT_EQ(tail[0], "Scanning statistics\t\t:");
  EXPECT_GE(scannedCountIn(tail[1]), 0);
  EXPECT_EQ(tail[2], "Total files infected\t\t:  0");
  EXPECT_EQ(tail[3], "Total files deleted\t\t:  0");
  finishFlow(scanning);
}

TEST_F(ScanWindow, EscapeDuringTheScanAsksToo) {
  SlowScanTree tree(kSlowScanFiles);
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND scanning = startScan(main);
  ASSERT_NE(scanning, nullptr);
  ASSERT_TRUE(waitForWalk(scanning));

  ASSERT_TRUE(uidriver::pressKey(scanning, VK_ESCAPE));
  HWND prompt = waitForMessageBox("Warning");
  ASSERT_NE(prompt, nullptr) << "Escape did not ask";
  EXPECT_EQ(uidriver::messageBoxText(prompt), "Terminate the Scan now?");
  ASSERT_TRUE(uidriver::answerMessageBox(prompt, IDYES));
  ASSERT_TRUE(uidriver::waitUntil(
      [&] { return uidriver::controlText(scanning, IDC_SCAN_STATUS) == "Scanning terminated"; },
      kScanTimeoutMs));
  ASSERT_TRUE(waitForScanEnd(scanning));
  finishFlow(scanning);
}

}  // namespace
}  // namespace wintest
