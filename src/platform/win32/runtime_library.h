// System libraries whose functions are looked up by name when first needed, rather than
// imported: a program that imports a function the system lacks does not start at all, so what
// not every Windows has (ToolHelp, the process-status library, the service control manager, the
// security functions and the native layer of the NT family) is found at run time, and its
// absence disables only what needs it. Every one is loaded from the system folder by its full
// path, never by a bare name.
#pragma once

#include <windows.h>

namespace platform::win32 {

class RuntimeLibrary {
 public:
  explicit RuntimeLibrary(const char* fileName);
  ~RuntimeLibrary();
  RuntimeLibrary(const RuntimeLibrary&) = delete;
  RuntimeLibrary& operator=(const RuntimeLibrary&) = delete;

  // The function `name`, or null when the library or the function is missing. `Function` is
  // the function's pointer type, usually decltype(&TheFunction).
  template <typename Function>
  Function find(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address(name)));
  }

 private:
  FARPROC address(const char* name) const;

  HMODULE module_;
};

// Each is loaded on first use and kept for the life of the program.
const RuntimeLibrary& kernelLibrary();
const RuntimeLibrary& processStatusLibrary();
const RuntimeLibrary& advancedServicesLibrary();
// ntdll.dll, the NT family's native layer under the Win32 API; the 95/98/Me family has none.
const RuntimeLibrary& nativeLibrary();
// comctl32.dll, the common controls (the tool tip).
const RuntimeLibrary& commonControlsLibrary();

}  // namespace platform::win32
