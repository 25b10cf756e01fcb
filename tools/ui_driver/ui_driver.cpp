#include "ui_driver/ui_driver.h"

#include <algorithm>

#include "ui_driver/png_writer.h"

namespace uidriver {
namespace {

constexpr unsigned kPollIntervalMs = 10;
// How long a window may take to answer one message before the driver gives up on it.
constexpr unsigned kAnswerTimeoutMs = 5000;

// Texts are asked for in UTF-16 and converted here: Wine does not convert a list box line sent
// to another process for a single-byte caller, and would write wide characters into its buffer.
bool sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs,
                             &result) != 0;
}

std::string toSingleByte(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size,
                      nullptr, nullptr);
  return text;
}

DWORD processOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

struct Search {
  const WindowQuery* query;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  const WindowQuery& query = *search->query;
  if (!IsWindowVisible(window)) return TRUE;
  if (query.processId != 0 && processOf(window) != query.processId) return TRUE;
  // A top-level window's caption is read without sending it anything.
  char caption[256] = "";
  GetWindowTextA(window, caption, sizeof caption);
  if (query.caption != caption) return TRUE;
  if (query.controlId != 0 && GetDlgItem(window, query.controlId) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

struct ProcessWindows {
  DWORD processId;
  std::vector<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
  auto* collected = reinterpret_cast<ProcessWindows*>(context);
  if (IsWindowVisible(window) && processOf(window) == collected->processId) {
    collected->windows.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK findUnpainted(HWND window, LPARAM context) {
  if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(context) = true;
    return FALSE;
  }
  return TRUE;
}

bool hasUnpaintedParts(HWND window) {
  bool unpainted = GetUpdateRect(window, nullptr, FALSE) != FALSE;
  if (!unpainted) EnumChildWindows(window, findUnpainted, reinterpret_cast<LPARAM>(&unpainted));
  return unpainted;
}

void postKey(HWND target, UINT message, UINT virtualKey, bool release) {
  UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  LPARAM lParam = 1 | (static_cast<LPARAM>(scanCode) << 16);
  if (release) lParam |= (1u << 30) | (1u << 31);
  PostMessageA(target, message, virtualKey, lParam);
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, unsigned timeoutMs) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollIntervalMs);
  }
  return true;
}

HWND findWindow(const WindowQuery& query) {
  Search search = {&query, nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitForWindow(const WindowQuery& query, unsigned timeoutMs) {
  HWND found = nullptr;
  waitUntil([&] { return (found = findWindow(query)) != nullptr; }, timeoutMs);
  return found;
}

std::vector<HWND> visibleWindowsOf(DWORD processId) {
  ProcessWindows collected = {processId, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&collected));
  return collected.windows;
}

std::string windowText(HWND window) {
  wchar_t text[1024] = L"";
  DWORD_PTR length = 0;
  if (!sendWithTimeout(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), length)) {
    return std::string();
  }
  return toSingleByte(std::wstring(text, std::min<std::size_t>(length, 1023)));
}

std::string controlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? windowText(control) : std::string();
}

bool controlVisible(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && IsWindowVisible(control);
}

std::vector<std::string> listBoxLines(HWND dialog, int id) {
  std::vector<std::string> lines;
  HWND list = GetDlgItem(dialog, id);
  DWORD_PTR count = 0;
  if (list == nullptr || !sendWithTimeout(list, LB_GETCOUNT, 0, 0, count)) return lines;
  for (DWORD_PTR index = 0; index < count; ++index) {
    DWORD_PTR length = 0;
    if (!sendWithTimeout(list, LB_GETTEXTLEN, index, 0, length) || length == DWORD_PTR(LB_ERR)) {
      break;
    }
    std::wstring line(length + 1, L'\0');
    if (!sendWithTimeout(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&line[0]), length) ||
        length == DWORD_PTR(LB_ERR)) {
      break;
    }
    line.resize(std::min<std::size_t>(length, line.size() - 1));
    lines.push_back(toSingleByte(line));
  }
  return lines;
}

bool clickButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button) ||
      !IsWindowEnabled(dialog)) {
    return false;
  }
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool clickControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || !IsWindowVisible(control) || !IsWindowEnabled(dialog)) return false;
  RECT client;
  GetClientRect(control, &client);
  LPARAM middle = MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
  return PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, middle) &&
         PostMessageA(control, WM_LBUTTONUP, 0, middle);
}

bool activate(HWND window, unsigned timeoutMs) {
  return waitUntil(
      [&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
      },
      timeoutMs);
}

bool pointAt(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr || !IsWindowVisible(control)) return false;
  RECT client;
  GetClientRect(control, &client);
  POINT middle = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
  POINT onScreen = middle;
  ClientToScreen(control, &onScreen);
  SetCursorPos(onScreen.x, onScreen.y);
  // The movement message itself, should the display not report the pointer's jump as one.
  return PostMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(middle.x, middle.y)) != FALSE;
}

void pointAway() { SetCursorPos(0, 0); }

bool clickCloseBox(HWND window) {
  if ((GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) == 0 || !IsWindowEnabled(window)) {
    return false;
  }
  return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE;
}

bool pressKey(HWND window, UINT virtualKey) {
  GUITHREADINFO input = {};
  input.cbSize = sizeof input;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &input) &&
      input.hwndFocus != nullptr) {
    target = input.hwndFocus;
  }
  postKey(target, WM_KEYDOWN, virtualKey, false);
  postKey(target, WM_KEYUP, virtualKey, true);
  return true;
}

HWND waitForMessageBox(const std::string& caption, DWORD processId, unsigned timeoutMs) {
  return waitForWindow({caption, processId, kMessageBoxTextId}, timeoutMs);
}

std::string messageBoxText(HWND box) { return controlText(box, kMessageBoxTextId); }

bool answerMessageBox(HWND box, int buttonId) { return clickButton(box, buttonId); }

void waitUntilPainted(HWND window, unsigned timeoutMs) {
  waitUntil([&] { return !hasUnpaintedParts(window); }, timeoutMs);
  // Two round trips: between them the window's thread has been idle once, which is when the
  // system copies what it painted to the screen.
  DWORD_PTR ignored = 0;
  sendWithTimeout(window, WM_NULL, 0, 0, ignored);
  sendWithTimeout(window, WM_NULL, 0, 0, ignored);
}

int Picture::count(COLORREF colour) const {
  int found = 0;
  for (std::size_t at = 0; at + 2 < rgb.size(); at += 3) {
    if (rgb[at] == GetRValue(colour) && rgb[at + 1] == GetGValue(colour) &&
        rgb[at + 2] == GetBValue(colour)) {
      ++found;
    }
  }
  return found;
}

Picture capture(HWND window) {
  Picture picture;
  RECT area;
  if (!GetWindowRect(window, &area)) return picture;
  int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return picture;

  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      const auto* pixels = static_cast<const unsigned char*>(bits);
      picture.width = width;
      picture.height = height;
      picture.rgb.reserve(static_cast<std::size_t>(width) * height * 3);
      for (int i = 0; i < width * height; ++i) {
        picture.rgb.push_back(pixels[i * 4 + 2]);
        picture.rgb.push_back(pixels[i * 4 + 1]);
        picture.rgb.push_back(pixels[i * 4]);
      }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

bool saveScreenshot(HWND window, const std::string& path) {
  waitUntilPainted(window);
  Picture picture = capture(window);
  return writePng(path, picture.width, picture.height, picture.rgb);
}

}  // namespace uidriver
