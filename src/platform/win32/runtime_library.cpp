#include "platform/win32/runtime_library.h"

namespace platform::win32 {

RuntimeLibrary::RuntimeLibrary(const char* fileName) : module_(LoadLibraryA(fileName)) {}

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

}  // namespace platform::win32
