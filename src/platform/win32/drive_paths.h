// From the native names of files that the memory manager and the object manager give
// ("\Device\HarddiskVolume1\WINDOWS\x.exe") to the paths that the path calls take ("C:\...").
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::win32 {

// The drive path of the native file name `name` (`length` characters): the device at its head
// replaced by the drive letter that stands for it (QueryDosDevice), or a name already under
// the DOS devices ("\??\C:\...") taken as its drive path. False, with `path` empty, when no
// drive letter stands for the device or the result does not fit `capacity` characters.
bool drivePathOf(const WCHAR* name, std::size_t length, WCHAR* path, std::size_t capacity);

}  // namespace platform::win32
