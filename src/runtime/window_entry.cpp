// The entry point of the windowed program: WinMain() with the command line after the program's
// name and the way the starting program asked the window to be shown.
#include <windows.h>

#include "runtime/command_line.h"
#include "runtime/startup.h"

extern "C" [[noreturn]] void WinMainCRTStartup() {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
  char* tail = const_cast<char*>(runtime::commandTail(GetCommandLineA()));
  runtime::construct();
  runtime::finish(WinMain(GetModuleHandleA(nullptr), nullptr, tail, show));
}
