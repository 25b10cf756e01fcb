#include "common/bounded_text.h"

#include <cstdarg>
#include <cstring>

#include "common/bounded_format.h"

namespace text {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool copy(char* destination, std::size_t capacity, const char* source) {
  if (capacity == 0) return false;
  std::size_t length = std::strlen(source);
  bool fits = length < capacity;
  std::size_t kept = fits ? length : capacity - 1;
  std::memmove(destination, source, kept);
  destination[kept] = '\0';
  return fits;
}

bool append(char* destination, std::size_t capacity, const char* source) {
  std::size_t used = 0;
  while (used < capacity && destination[used] != '\0') ++used;
  if (used >= capacity) return false;
  return copy(destination + used, capacity - used, source);
}

bool format(char* destination, std::size_t capacity, const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  bool whole = formatArguments(destination, capacity, pattern, arguments);
  va_end(arguments);
  return whole;
}

bool equalsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (lowerAscii(*a) != lowerAscii(*b)) return false;
  }
  return *a == *b;
}

bool samePathText(const char* a, const char* b) {
  for (;;) {
    if (lowerAscii(*a) != lowerAscii(*b)) return false;
    if (*a == '\0') return true;
    // A run of backslashes is one separator to the system ("C:\TEMP\\x" names C:\TEMP\x).
    bool separator = *a == '\\';
    ++a;
    ++b;
    if (separator) {
      while (*a == '\\') ++a;
      while (*b == '\\') ++b;
    }
  }
}

void toUpper(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

const char* fileNamePart(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash != nullptr ? slash + 1 : path;
}

}  // namespace text
