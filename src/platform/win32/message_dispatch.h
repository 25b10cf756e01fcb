// Dispatching a queued message without letting another program run code in this one.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Translates and dispatches `message`, except a WM_TIMER that names a callback: DispatchMessage
// calls the function a WM_TIMER's lParam points to, and systems before XP SP2 do so for a message
// that any program on the desktop posted. The program sets no timer with a callback, so such a
// message is another program's and is dropped. Returns whether it was dispatched.
inline bool dispatchOwnMessage(MSG& message) {
  if (message.message == WM_TIMER && message.lParam != 0) return false;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

}  // namespace platform::win32
