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
  // Others may go on reading, writing and deleting: the check must never be why a file stays.
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return toSeam(file);
}

std::int64_t Win32FileSystem::fileLength(Handle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(fromSeam(file), &size)) return -1;
  return size.QuadPart;
}

bool Win32FileSystem::seek(Handle file, std::uint32_t offset) {
  LARGE_INTEGER position;
  position.QuadPart = offset;
  return SetFilePointerEx(fromSeam(file), position, nullptr, FILE_BEGIN) != 0;
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
