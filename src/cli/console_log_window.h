// The console programs' stand-in for the scanning window: a hidden top-level window that prints
// every ScanLog line on standard output as it is appended.
#pragma once

#include <windows.h>

namespace cli {

// Creates the window and makes it the scan's window; null when it cannot be created.
HWND createConsoleLogWindow();

}  // namespace cli
