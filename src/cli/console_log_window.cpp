#include "cli/console_log_window.h"

#include <cstdio>

#include "scan/scan_session.h"

namespace cli {
namespace {

LRESULT CALLBACK logWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SCAN_APPENDLOG) {
    std::printf("%s\n", scanSession().logLine);
    std::fflush(stdout);
    return 0;
  }
  // The status line is not printed: it changes for every entry of the walk.
  if (message == WM_SCAN_STATUS) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND createConsoleLogWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = logWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VandrelConsoleLog";
  if (RegisterClassA(&windowClass) == 0) return nullptr;
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
  if (window != nullptr) {
    scanSession().scanDialogWindow = reinterpret_cast<platform::WindowHandle>(window);
  }
  return window;
}

}  // namespace cli
