#include "common/terminal_text.h"

namespace text {
namespace {

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when it is not one. C1
// controls (U+0080 to U+009F) count as not well-formed here: some terminals act on them.
std::size_t sequenceLength(const unsigned char* at) {
  unsigned char lead = at[0];
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned minimum = 0, value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0xA0, value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, value = lead & 0x07u;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((at[i] & 0xC0) != 0x80) return 0;  // also stops at the terminating zero
    value = (value << 6) | (at[i] & 0x3Fu);
  }
  bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < minimum || value > 0x10FFFF || surrogate) return 0;
  return length;
}

}  // namespace

bool escapeForTerminal(const char* text, char* out, std::size_t capacity) {
  if (capacity == 0) return false;
  static const char kHex[] = "0123456789abcdef";
  auto* at = reinterpret_cast<const unsigned char*>(text);
  std::size_t used = 0;
  while (*at != 0) {
    std::size_t length = sequenceLength(at);
    bool control = length == 1 && ((*at < 0x20 && *at != '\t') || *at == 0x7F);
    char piece[4];
    std::size_t pieceLength = 0;
    if (length == 0 || control) {
      piece[0] = '\\', piece[1] = 'x', piece[2] = kHex[*at >> 4], piece[3] = kHex[*at & 0xF];
      pieceLength = 4;
      length = 1;
    } else {
      for (std::size_t i = 0; i < length; ++i) piece[i] = static_cast<char>(at[i]);
      pieceLength = length;
    }
    if (used + pieceLength >= capacity) {
      out[used] = '\0';
      return false;
    }
    for (std::size_t i = 0; i < pieceLength; ++i) out[used++] = piece[i];
    at += length;
  }
  out[used] = '\0';
  return true;
}

}  // namespace text
