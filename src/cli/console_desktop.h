// The console program's window system: real messages, but a message box becomes a line on
// standard error, answered from the command line instead of waiting for a person.
#pragma once

#include "platform/win32/win32_desktop.h"

namespace cli {

class ConsoleDesktop : public platform::win32::Win32Desktop {
 public:
  explicit ConsoleDesktop(bool agreeToRestart) : agreeToRestart_(agreeToRestart) {}

  int messageBox(platform::WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t style) override;
  // The console scan takes no orders through the message queue: a quit, a window's end or a key
  // press that another program posts is taken out and dropped. Ctrl-C and Ctrl-Break end it.
  bool peekMessage(platform::Message& message) override;

 private:
  bool agreeToRestart_;
};

}  // namespace cli
