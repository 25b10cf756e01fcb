#include "cli/console_log_window.h"

#include "common/console_output.h"
#include "scan/scan_session.h"

namespace cli {
namespace {

LRESULT CALLBACK logWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SCAN_APPENDLOG) {
    console::print(console::Stream::kOutput, "%s\n", scanSession().logLine);
    console::flush(console::Stream::kOutput);
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
  // An ordinary top-level window that is never shown: message-only windows exist from Windows
  // 2000 on, and this one must work on 95 and NT 4.0 too.
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPED, 0, 0, 0, 0,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window != nullptr) {
    scanSession().scanDialogWindow = reinterpret_cast<platform::WindowHandle>(window);
  }
  return window;
}

}  // namespace cli
