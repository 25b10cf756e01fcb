#include "platform/win32/image_section.h"

#include <cstring>

#include "platform/scoped_handle.h"
#include "platform/win32/code_page_names.h"
#include "platform/win32/drive_paths.h"
#include "platform/win32/file_system_redirection.h"
#include "platform/win32/native_layer.h"
#include "platform/win32/open_file_identity.h"
#include "platform/win32/process_environment.h"
#include "platform/win32/runtime_library.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/windows_family.h"

namespace platform::win32 {
namespace {

// A native file name: the device, the folders and the name, in characters; room for any path
// the program takes and a long device name before it.
constexpr std::size_t kLongestName = MAX_PATH + 64;

struct NativeName {
  WCHAR text[kLongestName + 1];
  std::size_t length;
};

// Names are compared as the system gave them, character for character: both come from the
// same file system's answer, and a name that differs in any way may be another file's.
bool sameName(const NativeName& a, const NativeName& b) {
  if (a.length != b.length) return false;
  for (std::size_t i = 0; i < a.length; ++i) {
    if (a.text[i] != b.text[i]) return false;
  }
  return true;
}

// Two zero-terminated texts, character for character (not as a locale would compare them).
bool sameText(const WCHAR* a, const WCHAR* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == L'\0') return true;
  }
  return false;
}

// What a name query fills: a counted text at its head that points into the answer itself.
union NameAnswer {
  native::CountedText counted;
  WCHAR characters[sizeof(native::CountedText) / sizeof(WCHAR) + kLongestName + 1];
};

// Takes the name from an answer, trusting its count and address only once they are seen to lie
// within the answer.
bool takeName(const NameAnswer& answer, NativeName& name) {
  const native::CountedText& counted = answer.counted;
  std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(&answer);
  std::uintptr_t text = reinterpret_cast<std::uintptr_t>(counted.text);
  std::size_t bytes = counted.length;
  if (counted.text == nullptr || bytes == 0 || bytes % sizeof(WCHAR) != 0 ||
      bytes > kLongestName * sizeof(WCHAR) || text < begin || text - begin > sizeof answer ||
      sizeof answer - (text - begin) < bytes) {
    return false;
  }
  name.length = bytes / sizeof(WCHAR);
  std::memcpy(name.text, counted.text, bytes);
  name.text[name.length] = L'\0';
  return true;
}

// Where the process's image is mapped. The address is the one its environment block holds, which
// the process could change; it is taken only where the memory manager has the start of an
// image mapping of that process, and the file of that mapping is what is asked about.
std::uintptr_t imageBaseOf(HANDLE process) {
  std::uintptr_t block = environmentBlockOf(process);
  std::uintptr_t base = 0;
  if (block == 0 || !readProcessPointer(process, block + kImageBaseInBlock, base) || base == 0) {
    return 0;
  }
  MEMORY_BASIC_INFORMATION region = {};
  if (VirtualQueryEx(process, reinterpret_cast<void*>(base), &region, sizeof region) !=
          sizeof region ||
      region.Type != MEM_IMAGE || reinterpret_cast<std::uintptr_t>(region.AllocationBase) != base) {
    return 0;
  }
  return base;
}

// The name of the file mapped at `base`, as the memory manager has it at this moment.
bool mappedName(HANDLE process, std::uintptr_t base, NativeName& name) {
  auto query = nativeLibrary().find<native::QueryVirtualMemoryFunction>("NtQueryVirtualMemory");
  if (query == nullptr) return false;
  NameAnswer answer = {};
  SIZE_T returned = 0;
  return native::succeeded(query(process, reinterpret_cast<void*>(base),
                                 native::kMemoryMappedFileName, &answer, sizeof answer,
                                 &returned)) &&
         takeName(answer, name);
}

// The name of the file open as `file`, as the object manager has it at this moment.
bool openFileName(HANDLE file, NativeName& name) {
  auto query = nativeLibrary().find<native::QueryObjectFunction>("NtQueryObject");
  if (query == nullptr) return false;
  NameAnswer answer = {};
  ULONG returned = 0;
  return native::succeeded(
             query(file, native::kObjectNameInformation, &answer, sizeof answer, &returned)) &&
         takeName(answer, name);
}

struct NativeFileTraits {
  using Value = HANDLE;
  static Value none() { return nullptr; }
  static bool isValid(Value value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void close(Value value) { closePreservingError(value, CloseHandle); }
};
using NativeFile = ScopedHandle<NativeFileTraits>;

// Opens the file of a native name, exactly as named (no drive letters, no rewriting of the path
// calls), to read what it is. Reading is shared, deletion is not: renaming and deleting both
// need delete access, so while the handle is open nobody can move the file away from that name
// (and an open that finds such access already granted fails). A link at the name itself is
// opened, never followed.
HANDLE openHeldInPlace(NativeName& name) {
  auto open = nativeLibrary().find<native::OpenFileFunction>("NtOpenFile");
  if (open == nullptr) return nullptr;
  native::CountedText counted = {static_cast<USHORT>(name.length * sizeof(WCHAR)),
                                 static_cast<USHORT>(name.length * sizeof(WCHAR)), name.text};
  native::ObjectAttributes attributes = {sizeof attributes,        nullptr, &counted,
                                         native::kCaseInsensitive, nullptr, nullptr};
  ULONG options = native::kNonDirectoryFile | native::kSynchronousNonAlertable;
  if (ntFamilyFrom2000()) options |= native::kOpenReparsePoint;
  native::IoStatus status = {};
  HANDLE file = nullptr;
  // The name the section was mapped under is the real one; a 32-bit program's view must not
  // turn its system folder into another.
  RealFileNames realNames;
  if (!native::succeeded(open(&file, FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              &attributes, &status, FILE_SHARE_READ | FILE_SHARE_WRITE, options))) {
    return nullptr;
  }
  return file;
}

// Where the image lies and what its file is named now; false where that cannot be told.
bool imageName(HANDLE process, std::uintptr_t& base, NativeName& name) {
  if (!ntFamily()) return false;
  base = imageBaseOf(process);
  return base != 0 && mappedName(process, base, name);
}

}  // namespace

bool identifyImageFile(HANDLE process, FileIdentity& identity) {
  std::uintptr_t base = 0;
  NativeName mapped;
  if (!imageName(process, base, mapped)) return false;
  NativeFile file(openHeldInPlace(mapped));
  NativeName opened;
  FileIdentity found;
  // What was opened must be the file now named so, not something that the name led to.
  if (!file.valid() || !openFileName(file.get(), opened) || !sameName(opened, mapped) ||
      !describeOpenFile(file.get(), found) ||
      (found.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  // The file opened is held at the name; the image still mapped under that same name after it
  // was opened makes the two one file. Had the image been renamed in between (and something
  // else put at its name), the memory manager would name it otherwise by now.
  NativeName mappedAgain;
  if (!mappedName(process, base, mappedAgain) || !sameName(mappedAgain, mapped)) return false;
  identity = found;
  return true;
}

std::uint32_t imageFilePath(HANDLE process, char* buffer, std::uint32_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  std::uintptr_t base = 0;
  NativeName mapped;
  WCHAR path[MAX_PATH];
  if (!imageName(process, base, mapped) ||
      !drivePathOf(mapped.text, mapped.length, path, MAX_PATH)) {
    return 0;
  }
  // The path calls rewrite some names (a name ending in a dot or a space loses it), and the
  // rewritten path names another file or none: such an image has no path of theirs.
  WCHAR full[MAX_PATH];
  DWORD fullLength = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  if (fullLength == 0 || fullLength >= MAX_PATH || !sameText(full, path)) return 0;
  if (narrowExactly(path, buffer, capacity)) return static_cast<std::uint32_t>(std::strlen(buffer));
  // A name the code page cannot spell (a fullwidth letter would come out as its plain
  // look-alike, naming another file) is reached by its short form, where it has one.
  WCHAR shortPath[MAX_PATH];
  DWORD shortLength = GetShortPathNameW(path, shortPath, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH || !narrowExactly(shortPath, buffer, capacity)) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::uint32_t>(std::strlen(buffer));
}

}  // namespace platform::win32
