// Names between the system's single-byte code page, in which the program keeps every path, and
// the UTF-16 in which the NT family's file systems keep them.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform::win32 {

// Converts `text` into `wide` (`capacity` characters); false when a byte does not convert or the
// result does not fit.
bool widen(const char* text, WCHAR* wide, std::size_t capacity);

// Converts `wide` into `text` (`capacity` bytes, zero-terminated whatever happens). True only
// when the text names exactly `wide`: every character converted, none replaced by the default
// character or by a look-alike of the code page's best fit (a fullwidth full stop becomes '.').
// When false, `text` holds what the conversion made of the name, cut to fit if need be.
bool narrowExactly(const WCHAR* wide, char* text, std::size_t capacity);

}  // namespace platform::win32
