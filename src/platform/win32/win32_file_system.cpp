#include "platform/win32/win32_file_system.h"

#include <io.h>

#include "common/bounded_text.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {
namespace {

void fill(FindEntry& entry, const WIN32_FIND_DATAA& data) {
  entry.attributes = data.dwFileAttributes;
  text::copy(entry.fileName, data.cFileName);
}

// A directory query that returns 0 failed; one that returns the capacity or more did not fit.
bool fitted(DWORD length, std::size_t capacity, char* buffer) {
  if (length == 0 || length >= capacity) {
    if (capacity > 0) buffer[0] = '\0';
    return false;
  }
  return true;
}

// The NT family lets a file be shared for deletion; the 95/98/Me family knows no such sharing
// and fails an open that asks for it.
bool sharesDeletion() {
  static const bool nt = (GetVersion() & 0x80000000u) == 0;
  return nt;
}

DWORD capacityOf(std::size_t capacity) {
  return capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
}

}  // namespace

Handle Win32FileSystem::findFirst(const char* pattern, FindEntry& entry) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) return kNoHandle;
  fill(entry, data);
  return toSeam(search);
}

bool Win32FileSystem::findNext(Handle search, FindEntry& entry) {
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(fromSeam(search), &data)) return false;
  fill(entry, data);
  return true;
}

void Win32FileSystem::findClose(Handle search) {
  closePreservingError(fromSeam(search), FindClose);
}

bool Win32FileSystem::exists(const char* path) { return _access(path, 0) == 0; }

bool Win32FileSystem::isReadable(const char* path) { return _access(path, 4) == 0; }

Handle Win32FileSystem::openForReading(const char* path) {
  // Others may go on reading, writing and, where the system knows it, deleting: the check must
  // never be why a file stays. The 95/98/Me family refuses the delete-sharing flag outright.
  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (sharesDeletion()) sharing |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path, GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  return toSeam(file);
}

std::int64_t Win32FileSystem::fileLength(Handle file) {
  // GetFileSize, not GetFileSizeEx: the 95/98/Me family has only the former.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(fromSeam(file), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(high) << 32 | low);
}

bool Win32FileSystem::seek(Handle file, std::uint32_t offset) {
  // The offset is unsigned 32-bit; the high part makes offsets from 2 GiB on mean what they say.
  LONG high = 0;
  SetLastError(NO_ERROR);
  DWORD position = SetFilePointer(fromSeam(file), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return !(position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

int Win32FileSystem::read(Handle file, void* buffer, int count) {
  if (count < 0) return -1;
  DWORD got = 0;
  if (!ReadFile(fromSeam(file), buffer, static_cast<DWORD>(count), &got, nullptr)) return -1;
  return static_cast<int>(got);
}

void Win32FileSystem::closeFile(Handle file) { closePreservingError(fromSeam(file), CloseHandle); }

bool Win32FileSystem::setAttributes(const char* path, std::uint32_t attributes) {
  return SetFileAttributesA(path, attributes) != 0;
}

bool Win32FileSystem::deleteFile(const char* path) { return DeleteFileA(path) != 0; }

bool Win32FileSystem::deleteAtRestart(const char* path) {
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

// Not yet: the removal through one handle.
Handle Win32FileSystem::openForRemoval(const char*) { return kNoHandle; }
bool Win32FileSystem::identify(Handle, FileIdentity&) { return false; }
bool Win32FileSystem::setAttributesOf(Handle, std::uint32_t) { return false; }
bool Win32FileSystem::deleteOpenFile(Handle) { return false; }
bool Win32FileSystem::moveOpenFile(Handle, const char*) { return false; }
bool Win32FileSystem::createProtectedFolder(const char*) { return false; }
bool Win32FileSystem::identifyPath(const char*, FileIdentity&) { return false; }
std::uint32_t Win32FileSystem::driveType(const char* root) { return GetDriveTypeA(root); }

bool Win32FileSystem::shortPathName(const char* path, char* buffer, std::size_t capacity) {
  return fitted(GetShortPathNameA(path, buffer, capacityOf(capacity)), capacity, buffer);
}

bool Win32FileSystem::readProfileSection(const char* file, const char* section, char* buffer,
                                         std::size_t capacity, std::size_t& used) {
  used = 0;
  if (capacity < 2) return false;
  DWORD length = GetPrivateProfileSectionA(section, buffer, capacityOf(capacity), file);
  // The function answers capacity - 2 when the section was cut to fit.
  if (length >= capacity - 2 && length > 0) return false;
  used = length;
  return true;
}

bool Win32FileSystem::writeProfileSection(const char* file, const char* section,
                                          const char* lines) {
  return WritePrivateProfileSectionA(section, lines, file) != 0;
}

bool Win32FileSystem::windowsDirectory(char* buffer, std::size_t capacity) {
  return fitted(GetWindowsDirectoryA(buffer, capacityOf(capacity)), capacity, buffer);
}

bool Win32FileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  return fitted(GetTempPathA(capacityOf(capacity), buffer), capacity, buffer);
}

}  // namespace platform::win32
