// The hyperlink label of the main window: its colours, the address it opens, and the message
// when the system refuses to open it. The system's handler for web addresses is replaced for
// the test by the UI driver's recorder, or by a program that does not exist.
#include <fstream>
#include <sstream>

#include "res/resource.h"
#include "windows/window_test_support.h"

namespace wintest {
namespace {

constexpr COLORREF kLinkBlue = RGB(0, 0, 238);
constexpr COLORREF kVisitedPurple = RGB(85, 26, 139);
constexpr char kWebHandlerKey[] = "http\\shell\\open\\command";

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class HyperlinkLabel : public VandrelWindowTest {
 protected:
  HWND label(HWND main) { return GetDlgItem(main, IDC_DOWNLOAD_LINK); }

  // Waits until the label's text is painted in `colour` and not in `other`.
  bool waitForColour(HWND main, COLORREF colour, COLORREF other) {
    return uidriver::waitUntil(
        [&] {
          uidriver::waitUntilPainted(main);
          uidriver::Picture picture = uidriver::capture(label(main));
          return picture.count(colour) > 0 && picture.count(other) == 0;
        },
        kWindowTimeoutMs);
  }

  // The command of a browser that records each address it is given in `record`.
  std::string recordingBrowser() const {
    return "\"" + programFolder() + "\\vandrel-ui.exe\" record-url \"" + record + "\" \"%1\"";
  }

  ScratchFolder scratch;
  std::string record = scratch.path() + "\\opened.txt";
};

TEST_F(HyperlinkLabel, IsBlueAndTurnsPurpleOnceTheBrowserHasOpenedTheAddress) {
  ScopedRegistryValue browser(HKEY_CLASSES_ROOT, kWebHandlerKey, "", recordingBrowser());
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  if (kCanCaptureTheScreen) {
    EXPECT_TRUE(waitForColour(main, kLinkBlue, kVisitedPurple)) << "the label is not blue";
  }
  screenshot(main, "unvisited");

  ASSERT_TRUE(uidriver::clickControl(main, IDC_DOWNLOAD_LINK));
  std::string address = uidriver::controlText(main, IDC_DOWNLOAD_LINK);
  EXPECT_TRUE(
      uidriver::waitUntil([&] { return readFile(record) == address + "\n"; }, kWindowTimeoutMs))
      << "opened: " << readFile(record);
  if (kCanCaptureTheScreen) {
    EXPECT_TRUE(waitForColour(main, kVisitedPurple, kLinkBlue)) << "the label did not turn purple";
  }
  screenshot(main, "visited");
}

struct TipSearch {
  DWORD processId;
  HWND tip;
};

BOOL CALLBACK findVisibleTip(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TipSearch*>(context);
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->processId && IsWindowVisible(window) &&
      lstrcmpiA(className, "tooltips_class32") == 0) {
    search->tip = window;
    return FALSE;
  }
  return TRUE;
}

TEST_F(HyperlinkLabel, UnderlinesItselfAndShowsTheAddressWhileThePointerRestsOnIt) {
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  int restingBlue = 0;
  if (kCanCaptureTheScreen) {
    ASSERT_TRUE(waitForColour(main, kLinkBlue, kVisitedPurple));
    restingBlue = uidriver::capture(label(main)).count(kLinkBlue);
  }

  // The pointer rests on the label of the window in front (a tip shows only over the active
  // window). Wine may still hand the foreground to its desktop for a moment after an earlier
  // program went; the window is then brought back to the front, as a person would click it.
  // The pointer is also put there again every two seconds: the display may not yet have moved it
  // when the label's first look came (seen in the 32-bit lane), and one look is all it takes.
  bool pointed = false;
  DWORD pointedAt = 0;
  auto restOnLabel = [&] {
    if (pointed && GetForegroundWindow() == main && GetTickCount() - pointedAt < 2000) return;
    uidriver::activate(main);
    pointed = uidriver::pointAt(main, IDC_DOWNLOAD_LINK);
    pointedAt = GetTickCount();
  };
  TipSearch search = {program->processId(), nullptr};
  EXPECT_TRUE(uidriver::waitUntil(
      [&] {
        restOnLabel();
        return !EnumWindows(findVisibleTip, reinterpret_cast<LPARAM>(&search));
      },
      kWindowTimeoutMs))
      << "no tool tip";
  if (search.tip != nullptr) {
    EXPECT_EQ(uidriver::windowText(search.tip), uidriver::controlText(main, IDC_DOWNLOAD_LINK));
    screenshot(main, "hovered");
  }
  if (!kCanCaptureTheScreen) return;
  EXPECT_TRUE(uidriver::waitUntil(
      [&] {
        restOnLabel();
        return uidriver::capture(label(main)).count(kLinkBlue) > restingBlue;
      },
      kWindowTimeoutMs))
      << "not underlined";

  uidriver::pointAway();
  EXPECT_TRUE(uidriver::waitUntil(
      [&] { return uidriver::capture(label(main)).count(kLinkBlue) == restingBlue; },
      kWindowTimeoutMs))
      << "still underlined after the pointer left";
}

TEST_F(HyperlinkLabel, SaysSoWhenTheSystemCannotOpenTheAddressAndTurnsBlueAgain) {
  ScopedRegistryValue browser(HKEY_CLASSES_ROOT, kWebHandlerKey, "", recordingBrowser());
  HWND main = startAndWaitForMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(uidriver::clickControl(main, IDC_DOWNLOAD_LINK));
  std::string address = uidriver::controlText(main, IDC_DOWNLOAD_LINK);
  ASSERT_TRUE(
      uidriver::waitUntil([&] { return readFile(record) == address + "\n"; }, kWindowTimeoutMs))
      << "the first opening failed: " << readFile(record);
  if (kCanCaptureTheScreen) {
    ASSERT_TRUE(waitForColour(main, kVisitedPurple, kLinkBlue)) << "not purple after opening";
  }

  ScopedRegistryValue noBrowser(HKEY_CLASSES_ROOT, kWebHandlerKey, "",
                                "\"" + scratch.path() + "\\no-such-browser.exe\" \"%1\"");
  ASSERT_TRUE(uidriver::clickControl(main, IDC_DOWNLOAD_LINK));
  HWND box = waitForMessageBox(kCaption);
  ASSERT_NE(box, nullptr) << "no message box";
  screenshot(box, "refused");
  EXPECT_EQ(uidriver::messageBoxText(box), "Unable to launch Internet Browser");
  ASSERT_TRUE(uidriver::answerMessageBox(box, IDOK));
  ASSERT_TRUE(uidriver::waitUntil([&] { return !IsWindow(box); }, kWindowTimeoutMs));
  if (kCanCaptureTheScreen) {
    EXPECT_TRUE(waitForColour(main, kLinkBlue, kVisitedPurple)) << "the label is not blue again";
  }
  // The label's failure ends nothing: the program goes on.
  ASSERT_TRUE(uidriver::clickButton(main, IDCANCEL));
  EXPECT_TRUE(program->waitForExit(kWindowTimeoutMs));
}

}  // namespace
}  // namespace wintest
