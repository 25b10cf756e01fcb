// A registry key opened through a given implementation of the Registry seam (not necessarily the
// installed one), closed through it on every path, with reads of its string and number values
// that check the value's type and size.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace platform {

class OpenedKey {
 public:
  // Opens HKEY_LOCAL_MACHINE\`path` for reading; result() tells how that went.
  OpenedKey(Registry& registry, const char* path) : registry_(registry) {
    result_ = registry_.openKey(kRootLocalMachine, path, kKeyRead, key_);
  }
  ~OpenedKey() {
    if (result_ == kErrorSuccess) registry_.closeKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

  long result() const { return result_; }
  bool opened() const { return result_ == kErrorSuccess; }
  Handle get() const { return key_; }

  // A REG_SZ value into `buffer`, zero-terminated. The registry's result: kErrorMoreData when
  // it does not fit, kErrorInvalidParameter when the value is of another type.
  long readString(const char* name, char* buffer, std::uint32_t capacity) {
    if (capacity == 0) return kErrorInvalidParameter;
    std::uint32_t type = 0;
    std::uint32_t size = capacity - 1;
    long result = registry_.queryValue(key_, name, &type, buffer, &size);
    if (result != kErrorSuccess) return result;
    if (type != kRegSz || size >= capacity) return kErrorInvalidParameter;
    buffer[size] = '\0';
    return kErrorSuccess;
  }

  // A REG_DWORD value; kErrorInvalidParameter when the value is of another type or size.
  long readDword(const char* name, std::uint32_t& value) {
    std::uint8_t bytes[4];
    std::uint32_t type = 0;
    std::uint32_t size = sizeof bytes;
    long result = registry_.queryValue(key_, name, &type, bytes, &size);
    if (result != kErrorSuccess) return result;
    if (type != kRegDword || size != sizeof bytes) return kErrorInvalidParameter;
    value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return kErrorSuccess;
  }

 private:
  Registry& registry_;
  Handle key_ = kNoHandle;
  long result_ = kErrorInvalidHandle;
};

}  // namespace platform
