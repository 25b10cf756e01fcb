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

 private:
  bool agreeToRestart_;
};

}  // namespace cli
