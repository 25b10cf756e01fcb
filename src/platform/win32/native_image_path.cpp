#include "platform/win32/native_image_path.h"

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
constexpr int kProcessBasicInformation = 0;

// UNICODE_STRING: a length in bytes, a capacity, and the text elsewhere in the process.
struct CountedText {
  USHORT length;
  USHORT capacity;
  WCHAR* text;
};

// Where the process parameters' address lies in the environment block, and where their image
// path lies in them: the same layout on every NT version, with fields as wide as a pointer.
constexpr std::uintptr_t kParametersInBlock = 4 * sizeof(void*);
constexpr std::uintptr_t kImagePathInParameters = sizeof(void*) == 4 ? 0x38 : 0x60;

using QueryFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

bool readExact(HANDLE process, std::uintptr_t address, void* destination, SIZE_T size) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), destination, size,
                           &read) &&
         read == size;
}

}  // namespace

std::uint32_t nativeImagePath(HANDLE process, char* buffer, std::uint32_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  auto query = nativeLibrary().find<QueryFunction>("NtQueryInformationProcess");
  if (query == nullptr) return 0;
  BasicInformation basic = {};
  ULONG returned = 0;
  if (query(process, kProcessBasicInformation, &basic, sizeof basic, &returned) < 0 ||
      basic.environmentBlock == nullptr) {
    return 0;
  }
  std::uintptr_t parameters = 0;
  CountedText imagePath = {};
  if (!readExact(process,
                 reinterpret_cast<std::uintptr_t>(basic.environmentBlock) + kParametersInBlock,
                 &parameters, sizeof parameters) ||
      parameters == 0 ||
      !readExact(process, parameters + kImagePathInParameters, &imagePath, sizeof imagePath)) {
    return 0;
  }
  // The path comes from the other process's memory: its length is checked before it is used,
  // and a path that would not fit is not read at all.
  WCHAR wide[MAX_PATH] = {};
  if (imagePath.length == 0 || imagePath.length % sizeof(WCHAR) != 0 ||
      imagePath.length >= sizeof wide || imagePath.text == nullptr ||
      !readExact(process, reinterpret_cast<std::uintptr_t>(imagePath.text), wide,
                 imagePath.length)) {
    return 0;
  }
  int characters = static_cast<int>(imagePath.length / sizeof(WCHAR));
  int length = WideCharToMultiByte(CP_ACP, 0, wide, characters, buffer, static_cast<int>(capacity),
                                   nullptr, nullptr);
  if (length <= 0 || static_cast<std::uint32_t>(length) >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

}  // namespace platform::win32
