// The main window and the start of the program, worked through the UI driver.
#include "res/resource.h"
#include "windows/window_test_support.h"

namespace wintest {
namespace {

class MainWindow : public VandrelWindowTest {
 protected:
  // Watches the program until it ends; true when it ended in time without ever showing the
  // scanning window.
  bool endsWithoutScanning() {
    bool scanned = false;
    bool ended = uidriver::waitUntil(
        [&] {
          scanned = scanned || uidriver::findWindow({kCaption, program->processId(), IDC_SCAN_LOG});
          return !program->running();
        },
        kWindowTimeoutMs);
    return ended && !scanned;
  }
};

TEST_F(MainWindow, NamesTheProgramAndTheWormAndAsksWhetherToScan) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr) << "the main window did not come";
  screenshot(main, "main");

  EXPECT_EQ(uidriver::windowText(main), "Vandrel Ver 4.0");
  EXPECT_EQ(uidriver::controlText(main, IDC_TITLE_LINE),
            "Vandrel Ver 4.0 - Program to detect and clean variants of W32/Blaster.Worm");
  EXPECT_EQ(uidriver::controlText(main, IDC_QUESTION),
            "Scan the computer for the presence of W32/Blaster.Worm now?");
  EXPECT_EQ(uidriver::controlText(main, IDC_DOWNLOAD_LINK).find("http://"), 0u);
  EXPECT_NE(uidriver::controlText(main, IDC_DOWNLOAD_LINK).find("/download/download.htm"),
            std::string::npos);
  EXPECT_TRUE(uidriver::controlVisible(main, IDOK));
  EXPECT_TRUE(uidriver::controlVisible(main, IDCANCEL));
  // No system menu: no close box that could end the program past Cancel.
  EXPECT_EQ(GetWindowLongA(main, GWL_STYLE) & WS_SYSMENU, 0);
  EXPECT_NE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
}

TEST_F(MainWindow, CancelEndsTheProgramWithoutAScan) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(uidriver::clickButton(main, IDCANCEL));
  EXPECT_TRUE(endsWithoutScanning());
  EXPECT_EQ(program->exitCode(), 0);
}

TEST_F(MainWindow, EscapeEndsTheProgramWithoutAScan) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(uidriver::pressKey(main, VK_ESCAPE));
  EXPECT_TRUE(endsWithoutScanning());
}

TEST_F(MainWindow, EnterStartsTheScan) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(uidriver::pressKey(main, VK_RETURN));
  HWND scanning = waitForWindow(IDC_SCAN_LOG);
  ASSERT_NE(scanning, nullptr) << "Enter did not start the scan";
  // The main window stays behind it and takes no clicks meanwhile.
  EXPECT_FALSE(uidriver::clickButton(main, IDCANCEL));
  ASSERT_TRUE(waitForScanEnd(scanning));
  finishFlow(scanning);
}

// Another program on the desktop sends the main window a control's notification and a colour
// request that name a window of its own, one that carries the property name that once led from a
// window to its object, set to an address of its choosing, and posts a timer message that names
// a callback. The program calls through none of it: it keeps running, its window answers, and
// Cancel still ends it.
TEST_F(MainWindow, HandlesInMessagesFromAnotherProgramLeadNowhere) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  HWND foreign = CreateWindowExA(0, "STATIC", "foreign", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(foreign, nullptr);
  SetPropA(foreign, "Vandrel.ui.Window", reinterpret_cast<HANDLE>(0x41414141));
  auto handle = reinterpret_cast<LPARAM>(foreign);
  SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD_LINK, STN_CLICKED), handle,
                      SMTO_ABORTIFHUNG, kWindowTimeoutMs, nullptr);
  SendMessageTimeoutA(main, WM_CTLCOLORSTATIC, 0, handle, SMTO_ABORTIFHUNG, kWindowTimeoutMs,
                      nullptr);
  PostMessageA(main, WM_TIMER, 7, 0x41414141);

  EXPECT_TRUE(program->running());
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kWindowTimeoutMs, &answer),
            0);
  ASSERT_TRUE(uidriver::clickButton(main, IDCANCEL));
  EXPECT_TRUE(endsWithoutScanning());
  EXPECT_EQ(program->exitCode(), 0);
  DestroyWindow(foreign);
}

// A second start while a copy of the program runs ends at once and shows nothing.
class SecondStart : public VandrelWindowTest {
 protected:
  void expectSecondCopyEndsSilently() {
    uidriver::RunningProgram second(programFolder() + "\\vandrel.exe");
    ASSERT_TRUE(second.started());
    bool showedWindow = false;
    bool ended = uidriver::waitUntil(
        [&] {
          showedWindow = showedWindow || !uidriver::visibleWindowsOf(second.processId()).empty();
          return !second.running();
        },
        kWindowTimeoutMs);
    EXPECT_TRUE(ended) << "the second copy kept running";
    EXPECT_FALSE(showedWindow) << "the second copy showed a window";
    EXPECT_EQ(second.exitCode(), 0);
  }
};

TEST_F(SecondStart, EndsAtOnceWhileTheMainWindowOfAnotherCopyIsOpen) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  expectSecondCopyEndsSilently();
  // The first copy was not disturbed.
  EXPECT_TRUE(program->running());
  EXPECT_TRUE(IsWindowVisible(main));
}

DWORD WINAPI showBoxWithTheCaption(void*) {
  MessageBoxA(nullptr, "Unable to launch Internet Browser", kCaption, MB_OK);
  return 0;
}

// Any program can show a window with the program's caption (this test does): it is not a copy of
// the program, and the program starts all the same.
TEST_F(SecondStart, AWindowOfAnotherProgramWithTheCaptionStopsNothing) {
  HANDLE thread = CreateThread(nullptr, 0, showBoxWithTheCaption, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  HWND box = uidriver::waitForMessageBox(kCaption, GetCurrentProcessId(), kWindowTimeoutMs);
  ASSERT_NE(box, nullptr);

  EXPECT_NE(startAndWaitForMainWindow(), nullptr) << "another program's window stopped the start";

  EXPECT_TRUE(uidriver::answerMessageBox(box, IDOK));
  EXPECT_EQ(WaitForSingleObject(thread, kWindowTimeoutMs), WAIT_OBJECT_0);
  CloseHandle(thread);
}

}  // namespace
}  // namespace wintest
