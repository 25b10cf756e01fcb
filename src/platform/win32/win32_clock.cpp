#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace platform::win32 {

void Win32Clock::sleep(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::uint32_t Win32Clock::ticks() { return GetTickCount(); }

}  // namespace platform::win32
