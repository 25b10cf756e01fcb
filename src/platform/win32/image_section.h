// The file that a process's image section maps, asked of the memory manager: the program the
// process runs, not the path it was started with, which names whatever lies there now.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/file_system.h"

namespace platform::win32 {

// The identity of the image's file. `process` must be open for query and memory reading. False
// on the 95/98/Me family, without the native layer, when the image's file moved or was
// replaced while it was asked, or while a handle with delete access is open on it.
bool identifyImageFile(HANDLE process, FileIdentity& identity);

// A path of the code page to the image's file as it is named now: the name itself where the
// code page spells it exactly, else its short form. The length copied into `buffer`, or 0
// with `buffer` empty.
std::uint32_t imageFilePath(HANDLE process, char* buffer, std::uint32_t capacity);

}  // namespace platform::win32
