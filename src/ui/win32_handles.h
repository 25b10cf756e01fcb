// Conversions between the dialog layer's integer handles and Win32 types, for the layer's own
// source files and the program's windows.
#pragma once

#include <windows.h>

#include "platform/types.h"

namespace ui {

inline HWND toHwnd(platform::WindowHandle window) { return reinterpret_cast<HWND>(window); }
inline platform::WindowHandle fromHwnd(HWND window) {
  return reinterpret_cast<platform::WindowHandle>(window);
}

}  // namespace ui
