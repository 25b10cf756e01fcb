// Works the windows of another program as a person at the screen would, through Win32 messages
// only: finds windows by caption, reads control texts and list-box lines, clicks buttons and
// controls, presses keys, answers message boxes, and takes screenshots. Every wait is bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uidriver {

// Polls `condition` until it holds or `timeoutMs` have passed; true when it held.
bool waitUntil(const std::function<bool()>& condition, unsigned timeoutMs);

// A visible top-level window with exactly this caption, of process `processId` (0: any), that
// has a child control with id `controlId` (0: any).
struct WindowQuery {
  std::string caption;
  DWORD processId = 0;
  int controlId = 0;
};
HWND findWindow(const WindowQuery& query);
HWND waitForWindow(const WindowQuery& query, unsigned timeoutMs);
// Every visible top-level window of a process.
std::vector<HWND> visibleWindowsOf(DWORD processId);

std::string windowText(HWND window);
std::string controlText(HWND dialog, int id);
bool controlVisible(HWND dialog, int id);
// The lines of a list box, read with LB_GETTEXT; empty when it does not answer in time.
std::vector<std::string> listBoxLines(HWND dialog, int id);

// Clicks a button: false when it is missing, hidden or disabled, since nobody could click it.
bool clickButton(HWND dialog, int id);
// Clicks the middle of a control with the left mouse button.
bool clickControl(HWND dialog, int id);
// Brings a window to the front and makes it the active one, as a click on its caption would;
// true when it became the foreground window in time.
bool activate(HWND window, unsigned timeoutMs = 5000);
// Moves the pointer to the middle of a control, and away to the screen's corner.
bool pointAt(HWND dialog, int id);
void pointAway();
// Clicks a window's close box: false when it has none.
bool clickCloseBox(HWND window);
// Presses and releases a key in the window that has the keyboard focus in `window`'s thread
// (or in `window` itself when that thread has no focus).
bool pressKey(HWND window, UINT virtualKey);

// Message boxes: the id of their text and the text they show.
constexpr int kMessageBoxTextId = 0xFFFF;
HWND waitForMessageBox(const std::string& caption, DWORD processId, unsigned timeoutMs);
std::string messageBoxText(HWND box);
// Presses the box's button `buttonId` (IDOK, IDYES, IDNO, ...).
bool answerMessageBox(HWND box, int buttonId);

// Waits until the window and its children have painted and the picture has reached the screen.
void waitUntilPainted(HWND window, unsigned timeoutMs = 3000);

// What the screen shows in the window's rectangle, top row first, three bytes (R, G, B) a pixel.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  // Counts the pixels of exactly this colour.
  int count(COLORREF colour) const;
};
Picture capture(HWND window);
// Saves the window as it is on the screen as a PNG file.
bool saveScreenshot(HWND window, const std::string& path);

}  // namespace uidriver
