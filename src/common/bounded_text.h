// Bounded single-byte text. Every function keeps its destination zero-terminated and returns
// false when the whole text did not fit; callers that will open or delete a path must treat
// false as "skip", never use the cut text.
#pragma once

#include <cstddef>

namespace text {

bool copy(char* destination, std::size_t capacity, const char* source);
bool append(char* destination, std::size_t capacity, const char* source);
bool format(char* destination, std::size_t capacity, const char* pattern, ...)
    __attribute__((format(printf, 3, 4)));

template <std::size_t N>
bool copy(char (&destination)[N], const char* source) {
  return copy(destination, N, source);
}
template <std::size_t N>
bool append(char (&destination)[N], const char* source) {
  return append(destination, N, source);
}

// Case-insensitive comparison in the ASCII range, as the system's file names compare.
bool equalsIgnoringCase(const char* a, const char* b);
// Whether two paths name the same place as texts: letters compared without regard to case, and a
// run of backslashes taken as one, as the system takes it. Nothing is looked up.
bool samePathText(const char* a, const char* b);
// Upper-cases ASCII letters in place.
void toUpper(char* text);

// Character classes of the ASCII range, the same in every code page and locale.
inline bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline char upperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The part of a path after its last backslash (the whole path when it has none).
const char* fileNamePart(const char* path);

}  // namespace text
