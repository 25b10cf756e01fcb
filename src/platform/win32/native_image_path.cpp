#include "platform/win32/native_image_path.h"

#include "platform/win32/native_layer.h"
#include "platform/win32/process_environment.h"

namespace platform::win32 {
namespace {

// Where the process parameters keep their image path: a counted text with fields as wide as a
// pointer.
constexpr std::uintptr_t kImagePathInParameters = sizeof(void*) == 4 ? 0x38 : 0x60;

}  // namespace

std::uint32_t nativeImagePath(HANDLE process, char* buffer, std::uint32_t capacity) {
  if (capacity == 0) return 0;
  buffer[0] = '\0';
  std::uintptr_t block = environmentBlockOf(process);
  std::uintptr_t parameters = 0;
  native::CountedText imagePath = {};
  if (block == 0 || !readProcessPointer(process, block + kParametersInBlock, parameters) ||
      parameters == 0 ||
      !readProcessExactly(process, parameters + kImagePathInParameters, &imagePath,
                          sizeof imagePath)) {
    return 0;
  }
  // The path comes from the other process's memory: its length is checked before it is used,
  // and a path that would not fit is not read at all.
  WCHAR wide[MAX_PATH] = {};
  if (imagePath.length == 0 || imagePath.length % sizeof(WCHAR) != 0 ||
      imagePath.length >= sizeof wide || imagePath.text == nullptr ||
      !readProcessExactly(process, reinterpret_cast<std::uintptr_t>(imagePath.text), wide,
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
