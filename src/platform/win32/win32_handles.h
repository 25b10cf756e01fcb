// Conversions between Win32 handles and the seam's opaque handles, where 0 means "none".
#pragma once

#include <windows.h>

#include "platform/types.h"

namespace platform::win32 {

inline Handle toSeam(HANDLE handle) {
  return (handle == nullptr || handle == INVALID_HANDLE_VALUE) ? kNoHandle
                                                               : reinterpret_cast<Handle>(handle);
}

inline HANDLE fromSeam(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// Closes a handle without disturbing the error code that the caller is about to read.
inline void closePreservingError(HANDLE handle, BOOL(WINAPI* close)(HANDLE)) {
  DWORD error = GetLastError();
  close(handle);
  SetLastError(error);
}

}  // namespace platform::win32
