// The image path of a process as the process itself was started with it, read through the NT
// family's native layer: for NT 4.0 installations that lack the process-status library.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

// Reads the ImagePathName of the process parameters that the process's environment block points
// to, and converts it to the system code page. `process` must be open for query and memory
// reading. The length copied into `buffer`, or 0 (with `buffer` empty) when the native layer is
// missing, a read fails or the path does not fit.
std::uint32_t nativeImagePath(HANDLE process, char* buffer, std::uint32_t capacity);

}  // namespace platform::win32
