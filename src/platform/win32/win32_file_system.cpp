#include "platform/win32/win32_file_system.h"

#include <cstring>

#include "common/bounded_text.h"
#include "platform/win32/code_page_names.h"
#include "platform/win32/file_system_redirection.h"
#include "platform/win32/folder_entry_removal.h"
#include "platform/win32/native_file_changes.h"
#include "platform/win32/open_file_identity.h"
#include "platform/win32/protected_folder.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_family.h"

namespace platform::win32 {
namespace {

// The 95/98/Me family lists names in the code page. A long name stored with characters the code
// page lacks (written by another system) comes back with '?', which no file's name holds.
void fill(FindEntry& entry, const WIN32_FIND_DATAA& data) {
  entry.attributes = data.dwFileAttributes;
  text::copy(entry.fileName, data.cFileName);
  entry.exactName = std::strchr(data.cFileName, '?') == nullptr;
  text::copy(entry.alternateName, data.cAlternateFileName);
}

// The NT family keeps names in UTF-16; the ANSI listing would hand over the code page's
// look-alikes of characters it lacks without a word, so the names are converted here, where
// what did not convert exactly can be told.
void fill(FindEntry& entry, const WIN32_FIND_DATAW& data) {
  entry.attributes = data.dwFileAttributes;
  entry.exactName = narrowExactly(data.cFileName, entry.fileName, sizeof entry.fileName);
  if (!narrowExactly(data.cAlternateFileName, entry.alternateName, sizeof entry.alternateName)) {
    entry.alternateName[0] = '\0';
  }
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
DWORD sharingWithEveryone() {
  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  if (ntFamily()) sharing |= FILE_SHARE_DELETE;
  return sharing;
}

// What was opened, unless it is a folder: the NT family opens none without backup semantics,
// which no caller here asks for, and this makes sure of it whatever the file system does.
HANDLE unlessFolder(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE) return file;
  FileIdentity identity;
  if (!describeOpenFile(file, identity) || (identity.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    closePreservingError(file, CloseHandle);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

DWORD capacityOf(std::size_t capacity) {
  return capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
}

}  // namespace

// Every call here that names a file does so with RealFileNames: on 64-bit Windows the i686
// program then sees the system folder as it is, and each file under one name only.

Handle Win32FileSystem::noteOpening(void* opened) {
  if (opened != INVALID_HANDLE_VALUE && opened != nullptr) {
    lastOpenFailure_ = OpenFailure::kNone;
    return toSeam(opened);
  }
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NO_MORE_FILES:
      lastOpenFailure_ = OpenFailure::kNotFound;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      lastOpenFailure_ = OpenFailure::kInUse;
      break;
    default:
      lastOpenFailure_ = OpenFailure::kOther;
      break;
  }
  return kNoHandle;
}

Handle Win32FileSystem::findFirst(const char* pattern, FindEntry& entry) {
  RealFileNames realNames;
  if (!ntFamily()) {
    WIN32_FIND_DATAA data;
    Handle search = noteOpening(FindFirstFileA(pattern, &data));
    if (search != kNoHandle) fill(entry, data);
    return search;
  }
  WCHAR widePattern[kMaxPath];
  if (!widen(pattern, widePattern, kMaxPath)) {
    lastOpenFailure_ = OpenFailure::kOther;
    return kNoHandle;
  }
  WIN32_FIND_DATAW data;
  Handle search = noteOpening(FindFirstFileW(widePattern, &data));
  if (search != kNoHandle) fill(entry, data);
  return search;
}

bool Win32FileSystem::findNext(Handle search, FindEntry& entry) {
  if (!ntFamily()) {
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(fromSeam(search), &data)) return false;
    fill(entry, data);
    return true;
  }
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(fromSeam(search), &data)) return false;
  fill(entry, data);
  return true;
}

void Win32FileSystem::findClose(Handle search) {
  closePreservingError(fromSeam(search), FindClose);
}

bool Win32FileSystem::exists(const char* path) {
  RealFileNames realNames;
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The system's files are readable by attributes whenever they exist: what the access list says
// is learnt only when the file is opened.
bool Win32FileSystem::isReadable(const char* path) { return exists(path); }

Handle Win32FileSystem::openForReading(const char* path) {
  // Others may go on reading, writing and, where the system knows it, deleting: the check must
  // never be why a file stays.
  RealFileNames realNames;
  return noteOpening(CreateFileA(path, GENERIC_READ, sharingWithEveryone(), nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
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
  RealFileNames realNames;
  return SetFileAttributesA(path, attributes) != 0;
}

bool Win32FileSystem::deleteFile(const char* path) {
  RealFileNames realNames;
  return DeleteFileA(path) != 0;
}

bool Win32FileSystem::deleteAtRestart(const char* path) {
  RealFileNames realNames;
  return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

Handle Win32FileSystem::openForRemoval(const char* path) {
  // The 95/98/Me family can neither share deletion nor change a file through a handle.
  if (!ntFamily()) {
    lastOpenFailure_ = OpenFailure::kOther;
    return kNoHandle;
  }
  // A link or junction at the file's own name is opened itself, never followed: what is removed
  // is what lies at the name. NT 4.0 has no reparse points and may refuse the flag.
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  if (ntFamilyFrom2000()) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  RealFileNames realNames;
  HANDLE file = CreateFileA(path, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES,
                            sharingWithEveryone(), nullptr, OPEN_EXISTING, flags, nullptr);
  return noteOpening(unlessFolder(file));
}

bool Win32FileSystem::identify(Handle file, FileIdentity& identity) {
  FileIdentity found;
  if (!describeOpenFile(fromSeam(file), found)) return false;
  identity = found;
  return true;
}

bool Win32FileSystem::setAttributesOf(Handle file, std::uint32_t attributes) {
  return setAttributesThrough(fromSeam(file), attributes);
}

bool Win32FileSystem::deleteOpenFile(Handle file) { return deleteThrough(fromSeam(file)); }

bool Win32FileSystem::moveOpenFile(Handle file, const char* newPath) {
  RealFileNames realNames;
  return renameThrough(fromSeam(file), newPath);
}

bool Win32FileSystem::createProtectedFolder(const char* path) {
  RealFileNames realNames;
  return createAdministratorsOnlyFolder(path);
}

EntryRemoval Win32FileSystem::entryRemoval(const char* folder) {
  return folderEntryRemoval(folder);
}

bool Win32FileSystem::identifyPath(const char* path, FileIdentity& identity) {
  // No right to read or change the file, and shared with everyone: the question disturbs
  // nobody. The 95/98/Me family knows no attribute-only access; it asks for none at all.
  DWORD access = ntFamily() ? FILE_READ_ATTRIBUTES : 0;
  RealFileNames realNames;
  HANDLE opened = unlessFolder(
      CreateFileA(path, access, sharingWithEveryone(), nullptr, OPEN_EXISTING, 0, nullptr));
  if (opened == INVALID_HANDLE_VALUE) return false;
  bool told = identify(toSeam(opened), identity);
  closePreservingError(opened, CloseHandle);
  return told;
}

std::uint32_t Win32FileSystem::driveType(const char* root) { return GetDriveTypeA(root); }

bool Win32FileSystem::shortPathName(const char* path, char* buffer, std::size_t capacity) {
  RealFileNames realNames;
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

bool Win32FileSystem::systemDirectory(char* buffer, std::size_t capacity) {
  return fitted(GetSystemDirectoryA(buffer, capacityOf(capacity)), capacity, buffer);
}

bool Win32FileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  return fitted(GetTempPathA(capacityOf(capacity), buffer), capacity, buffer);
}

}  // namespace platform::win32
