#include "platform/win32/runtime_library.h"

#include "common/bounded_text.h"
#include "platform/win32/file_system_redirection.h"

namespace platform::win32 {

namespace {

// Loads a system library from the system folder by its full path. A bare name would be looked up
// in the program's own folder first (a downloads folder, say), where anybody could have put a
// library of that name to run with the scanner's rights; only the system's known libraries are
// exempt, and psapi.dll and comctl32.dll are not among them.
HMODULE loadFromSystemFolder(const char* fileName) {
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  if (!text::append(path, "\\") || !text::append(path, fileName)) return nullptr;
  // The system folder as this program's bitness sees it: its own libraries, not the 64-bit ones.
  RedirectedFileNames redirected;
  return LoadLibraryA(path);
}

}  // namespace

RuntimeLibrary::RuntimeLibrary(const char* fileName) : module_(loadFromSystemFolder(fileName)) {}

RuntimeLibrary::~RuntimeLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC RuntimeLibrary::address(const char* name) const {
  return module_ == nullptr ? nullptr : GetProcAddress(module_, name);
}

const RuntimeLibrary& kernelLibrary() {
  static const RuntimeLibrary library("Kernel32.dll");
  return library;
}

const RuntimeLibrary& processStatusLibrary() {
  static const RuntimeLibrary library("psapi.dll");
  return library;
}

const RuntimeLibrary& advancedServicesLibrary() {
  static const RuntimeLibrary library("advapi32.dll");
  return library;
}

const RuntimeLibrary& nativeLibrary() {
  static const RuntimeLibrary library("ntdll.dll");
  return library;
}

const RuntimeLibrary& commonControlsLibrary() {
  static const RuntimeLibrary library("comctl32.dll");
  return library;
}

}  // namespace platform::win32
