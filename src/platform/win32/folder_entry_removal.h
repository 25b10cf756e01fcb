// Who may remove the entries of a folder, asked of the folder through a handle open on it.
#pragma once

#include "platform/file_system.h"

namespace platform::win32 {

// Opens `folder` itself (a link or junction at its name is opened, never followed, and makes the
// answer kUnknown) and reads through that one handle whether its volume keeps access lists and
// what its owner and access list allow. The 95/98/Me family keeps none.
EntryRemoval folderEntryRemoval(const char* folder);

}  // namespace platform::win32
