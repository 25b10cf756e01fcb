#include "platform/win32/native_file_changes.h"

#include <cstddef>

#include "platform/types.h"
#include "platform/win32/runtime_library.h"

namespace platform::win32 {
namespace {

// The native layer's declarations, which the Windows 95/NT 4.0 headers we build against do not
// have. Layouts are the system's own and the same from NT 4.0 on.
struct IO_STATUS_BLOCK {
  union {
    LONG Status;
    PVOID Pointer;
  };
  ULONG_PTR Information;
};

// Zero times mean "leave unchanged", and so do zero attributes.
struct FILE_BASIC_INFORMATION {
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  ULONG FileAttributes;
};

struct FILE_DISPOSITION_INFORMATION {
  BOOLEAN DeleteFile;
};

// The name is a native path ("\??\C:\...") when RootDirectory is null; its length is in bytes.
struct FILE_RENAME_INFORMATION {
  BOOLEAN ReplaceIfExists;
  HANDLE RootDirectory;
  ULONG FileNameLength;
  WCHAR FileName[1];
};

// The system's own sizes, whichever compiler lays the structures out.
static_assert(sizeof(FILE_BASIC_INFORMATION) == 40, "times are 8-byte aligned");
static_assert(offsetof(FILE_RENAME_INFORMATION, FileName) == (sizeof(void*) == 8 ? 20 : 12),
              "the name follows the handle and its length");

constexpr ULONG kFileBasicInformation = 4;
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileDispositionInformation = 13;

using SetInformationFunction = LONG(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, PVOID, ULONG, ULONG);
using StatusToErrorFunction = ULONG(NTAPI*)(LONG);

bool setInformation(HANDLE file, void* information, ULONG length, ULONG informationClass) {
  auto set = nativeLibrary().find<SetInformationFunction>("NtSetInformationFile");
  if (set == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  IO_STATUS_BLOCK io = {};
  LONG status = set(file, &io, information, length, informationClass);
  if (status >= 0) return true;
  // The callers' callers read the last error, as after any Win32 call that failed.
  auto toError = nativeLibrary().find<StatusToErrorFunction>("RtlNtStatusToDosError");
  SetLastError(toError != nullptr ? toError(status) : ERROR_GEN_FAILURE);
  return false;
}

// A rename names its target afresh, so only a plain full path is taken: a drive, then names
// that are neither empty, "." nor "..", and do not end in a dot or space (the native layer,
// unlike the path calls, keeps those, and the file would be out of the path calls' reach).
bool isPlainFullPath(const WCHAR* path) {
  bool drive = ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
               path[1] == L':' && path[2] == L'\\';
  if (!drive) return false;
  const WCHAR* name = path + 3;
  for (;;) {
    const WCHAR* end = name;
    while (*end != L'\0' && *end != L'\\') {
      if (*end == L'/') return false;
      ++end;
    }
    if (end == name || end[-1] == L'.' || end[-1] == L' ') return false;
    if (*end == L'\0') return true;
    name = end + 1;
  }
}

constexpr std::size_t kNameOffset = offsetof(FILE_RENAME_INFORMATION, FileName);
constexpr WCHAR kNativePrefix[] = L"\\??\\";
constexpr int kNativePrefixLength = 4;

// The rename request with room for the native prefix and a path of the program's bound.
union RenameRequest {
  FILE_RENAME_INFORMATION header;
  unsigned char bytes[kNameOffset + (kNativePrefixLength + kMaxPath) * sizeof(WCHAR)];
};

}  // namespace

bool setAttributesThrough(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFORMATION basic = {};
  // Zero would leave the attributes as they are; the path call means "none" by it.
  basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
  return setInformation(file, &basic, sizeof basic, kFileBasicInformation);
}

bool deleteThrough(HANDLE file) {
  FILE_DISPOSITION_INFORMATION disposition = {TRUE};
  return setInformation(file, &disposition, sizeof disposition, kFileDispositionInformation);
}

bool renameThrough(HANDLE file, const char* newPath) {
  RenameRequest request = {};
  WCHAR* name = reinterpret_cast<WCHAR*>(request.bytes + kNameOffset);
  for (int i = 0; i < kNativePrefixLength; ++i) name[i] = kNativePrefix[i];
  WCHAR* path = name + kNativePrefixLength;
  const int room =
      static_cast<int>((sizeof request - kNameOffset) / sizeof(WCHAR)) - kNativePrefixLength;
  // A path that does not convert exactly, or does not fit, is not renamed to at all.
  int converted = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, newPath, -1, path, room);
  if (converted <= 1 || !isPlainFullPath(path)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  request.header.ReplaceIfExists = FALSE;
  request.header.RootDirectory = nullptr;
  request.header.FileNameLength =
      static_cast<ULONG>((kNativePrefixLength + converted - 1) * sizeof(WCHAR));
  ULONG length = static_cast<ULONG>(kNameOffset + request.header.FileNameLength);
  return setInformation(file, &request, length, kFileRenameInformation);
}

}  // namespace platform::win32
