#include "platform/win32/process_environment.h"

#include "platform/win32/native_layer.h"
#include "platform/win32/runtime_library.h"

namespace platform::win32 {
namespace {

// PROCESS_BASIC_INFORMATION, as NtQueryInformationProcess fills it for the class of that name.
struct BasicInformation {
  LONG exitStatus;
  void* environmentBlock;
  ULONG_PTR affinityMask;
  LONG basePriority;
  ULONG_PTR processId;
  ULONG_PTR parentProcessId;
};

}  // namespace

bool readProcessExactly(HANDLE process, std::uintptr_t address, void* destination, SIZE_T size) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), destination, size,
                           &read) &&
         read == size;
}

bool readProcessPointer(HANDLE process, std::uintptr_t address, std::uintptr_t& value) {
  value = 0;
  if (readProcessExactly(process, address, &value, sizeof value)) return true;
  value = 0;
  return false;
}

std::uintptr_t environmentBlockOf(HANDLE process) {
  auto query = nativeLibrary().find<native::QueryProcessFunction>("NtQueryInformationProcess");
  if (query == nullptr) return 0;
  BasicInformation basic = {};
  ULONG returned = 0;
  if (!native::succeeded(
          query(process, native::kProcessBasicInformation, &basic, sizeof basic, &returned))) {
    return 0;
  }
  return reinterpret_cast<std::uintptr_t>(basic.environmentBlock);
}

}  // namespace platform::win32
