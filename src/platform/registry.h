// Registry: keys under the predefined roots, values, and the performance data block.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// Predefined roots, with their Win32 values so that the Win32 implementation passes them on.
constexpr Handle kRootCurrentUser = 0x80000001;
constexpr Handle kRootLocalMachine = 0x80000002;
constexpr Handle kRootUsers = 0x80000003;
constexpr Handle kRootPerformanceData = 0x80000004;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
// Win32 error codes the logic tells apart.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorMoreData = 234;
constexpr std::uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExA: on kErrorSuccess `key` holds the opened key; otherwise `key` is untouched.
  virtual long openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) = 0;
  // RegQueryValueExA on an open key or a root (kRootPerformanceData included). `type` and `data`
  // may be null; `size` is in/out as the API's: with data null it receives the size needed; with
  // a buffer too small the result is kErrorMoreData (and `size` the size needed).
  virtual long queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                          std::uint32_t* size) = 0;
  virtual long deleteValue(Handle key, const char* name) = 0;
  virtual long closeKey(Handle key) = 0;
};

Registry& registry();

struct KeyTraits {
  using Value = Handle;
  static Value none() { return kNoHandle; }
  static bool isValid(Value value) { return value != kNoHandle; }
  static void close(Value value) { registry().closeKey(value); }
};
using ScopedKey = ScopedHandle<KeyTraits>;

}  // namespace platform
