#include "platform/offline/hive_text.h"

#include <cstdint>

namespace platform::offline {
namespace {

void append(std::string& utf8, std::uint32_t code) {
  if (code < 0x80) {
    utf8 += static_cast<char>(code);
  } else if (code < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (code >> 12));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (code >> 18));
    utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string utf8FromUtf16(const char* bytes, std::size_t length) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const auto* units = reinterpret_cast<const unsigned char*>(bytes);
  auto unitAt = [units](std::size_t at) {
    return static_cast<std::uint32_t>(units[at]) | static_cast<std::uint32_t>(units[at + 1]) << 8;
  };
  std::string utf8;
  for (std::size_t at = 0; at + 1 < length; at += 2) {
    std::uint32_t unit = unitAt(at);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < length) {
      std::uint32_t next = unitAt(at + 2);
      if (next >= 0xDC00 && next < 0xE000) {
        append(utf8, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        at += 2;
        continue;
      }
    }
    append(utf8, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
  }
  return utf8;
}

}  // namespace platform::offline
