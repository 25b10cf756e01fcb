// What the system tells of a file through a handle open on it, in the seam's terms.
#pragma once

#include <windows.h>

#include "platform/file_system.h"

namespace platform::win32 {

// GetFileInformationByHandle; false when the system cannot tell, `identity` untouched then.
inline bool describeOpenFile(HANDLE file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return false;
  identity.volumeSerial = information.dwVolumeSerialNumber;
  identity.fileIndex =
      static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
  identity.links = information.nNumberOfLinks;
  identity.attributes = information.dwFileAttributes;
  return true;
}

}  // namespace platform::win32
