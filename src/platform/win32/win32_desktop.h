// The window-system part of the seam on Windows.
#pragma once

#include <windows.h>

#include "platform/desktop.h"

namespace platform::win32 {

class Win32Desktop : public Desktop {
 public:
  std::intptr_t sendMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  bool peekMessage(Message& message) override;
  bool messageWaiting() override;
  void translateAndDispatch(const Message& message) override;
  int messageBox(WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t style) override;

 private:
  // The last message peeked, whole: dispatching needs its time and cursor position too.
  MSG last_ = {};
  // When messageWaiting last asked the window system.
  DWORD lastAskedTicks_ = 0;
  bool askedBefore_ = false;
};

}  // namespace platform::win32
