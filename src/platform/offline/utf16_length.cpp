#include "platform/offline/utf16_length.h"

namespace platform::offline {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed sequence at `at`, 0 when none begins there (overlong forms,
// surrogates and values past U+10FFFF are not well-formed).
std::size_t sequenceLength(const unsigned char* at) {
  unsigned char lead = at[0];
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at[1] < low || at[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!isContinuation(at[i])) return 0;
  }
  return length;
}

}  // namespace

std::size_t utf16Length(const char* text) {
  std::size_t units = 0;
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  while (*at != 0) {
    std::size_t length = sequenceLength(at);
    if (length == 0) {
      ++units;
      ++at;
      continue;
    }
    units += length == 4 ? 2 : 1;
    at += length;
  }
  return units;
}

}  // namespace platform::offline
