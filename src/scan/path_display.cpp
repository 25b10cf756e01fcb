#include "scan/path_display.h"

#include <cstring>

#include "common/bounded_text.h"

namespace {
constexpr std::int16_t kLongestShortenedPath = 100;
}  // namespace

void shortenPathForDisplay(const char* source, char* destination, std::size_t capacity,
                           std::int16_t maxLength) {
  std::size_t length = std::strlen(source);
  int half = maxLength / 2 - 1;
  bool fitsWhole = maxLength >= 0 && length <= static_cast<std::size_t>(maxLength);
  bool canShorten = half > 0 && maxLength <= kLongestShortenedPath &&
                    capacity > static_cast<std::size_t>(maxLength);
  if (fitsWhole || !canShorten) {
    text::copy(destination, capacity, source);
    return;
  }
  int dots = maxLength - 2 * half;
  char* out = destination;
  std::memcpy(out, source, half);
  out += half;
  std::memset(out, '.', dots);
  out += dots;
  std::memcpy(out, source + length - half, half);
  out[half] = '\0';
}
