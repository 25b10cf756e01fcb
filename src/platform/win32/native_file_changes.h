// Changes made to a file through a handle already open on it, by the NT family's native layer:
// the Win32 API of Windows 95 and NT 4.0 can change attributes, delete and rename only by path,
// which would name again whatever lies there by then. Each is false on failure (the last error
// then says why) and on the 95/98/Me family, which has no native layer.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Replaces the attributes and leaves the times alone.
bool setAttributesThrough(HANDLE file, DWORD attributes);
// Marks the file for deletion; it goes when its last handle is closed. The handle needs DELETE
// access; a read-only file and a running program's image refuse.
bool deleteThrough(HANDLE file);
// Gives the file the full path `newPath` ("C:\..."), which must not exist; never replaces.
bool renameThrough(HANDLE file, const char* newPath);

}  // namespace platform::win32
