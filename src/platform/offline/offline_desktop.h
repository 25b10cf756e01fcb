// The window-system part of the seam for the offline rescue, which has no windows: the scan's
// window is a stand-in that prints every ScanLog line on the output as it is appended, as
// vandrel-cli's log window does. An interruption (the rescue's signal handler sets the flag) is
// the one message there ever is: a quit, which ends the scan as the scanning window's would.
#pragma once

#include <csignal>
#include <cstdio>

#include "platform/desktop.h"

namespace platform::offline {

class OfflineDesktop : public Desktop {
 public:
  // The window that stands for the scanning window.
  static constexpr WindowHandle kLogWindow = 1;

  // Lines go to `output`, message boxes to `errors`; `interrupted`, when given, is read by the
  // pump.
  OfflineDesktop(std::FILE* output, std::FILE* errors,
                 const volatile std::sig_atomic_t* interrupted = nullptr)
      : output_(output), errors_(errors), interrupted_(interrupted) {}

  // WM_SCAN_APPENDLOG to kLogWindow prints logLine; everything else is answered 0. The status
  // line is not printed: it changes for every entry of the walk.
  std::intptr_t sendMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  // A quit message once the interruption flag is set, and nothing else.
  bool peekMessage(Message& message) override;
  void translateAndDispatch(const Message& message) override;
  // No one is there to answer: the box is printed on the error output and answered No (or
  // Cancel), which leaves everything as it is.
  int messageBox(WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t style) override;

 private:
  std::FILE* output_;
  std::FILE* errors_;
  const volatile std::sig_atomic_t* interrupted_;
  bool quitDelivered_ = false;
};

}  // namespace platform::offline
