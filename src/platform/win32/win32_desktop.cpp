#include "platform/win32/win32_desktop.h"

#include "platform/win32/message_dispatch.h"

namespace platform::win32 {
namespace {

HWND toWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }

}  // namespace

std::intptr_t Win32Desktop::sendMessage(WindowHandle window, std::uint32_t id,
                                        std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0) return 0;
  return SendMessageA(toWindow(window), id, wParam, lParam);
}

bool Win32Desktop::peekMessage(Message& message) {
  if (!PeekMessageA(&last_, nullptr, 0, 0, PM_REMOVE)) return false;
  message.window = reinterpret_cast<WindowHandle>(last_.hwnd);
  message.id = last_.message;
  message.wParam = last_.wParam;
  message.lParam = last_.lParam;
  return true;
}

// The queue's state is one question to the window system where a peek is several (under Wine
// the peek also fetches the display's events, some ten times the cost). Even that question is a
// round trip under Wine, and the walk asks around every entry: it is asked once per step of the
// system's millisecond count, which is soon enough for anything a person does.
bool Win32Desktop::messageWaiting() {
  DWORD now = GetTickCount();
  if (askedBefore_ && now == lastAskedTicks_) return false;
  askedBefore_ = true;
  lastAskedTicks_ = now;
  return HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0;
}

void Win32Desktop::translateAndDispatch(const Message& message) {
  MSG msg = last_;
  msg.hwnd = toWindow(message.window);
  msg.message = message.id;
  msg.wParam = message.wParam;
  msg.lParam = message.lParam;
  dispatchOwnMessage(msg);
}

int Win32Desktop::messageBox(WindowHandle owner, const char* text, const char* caption,
                             std::uint32_t style) {
  return MessageBoxA(toWindow(owner), text, caption, style);
}

}  // namespace platform::win32
