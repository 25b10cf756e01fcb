// The program's own printf-style formatter: the conversions its log lines and messages use, and
// nothing that needs floating point or a C runtime. Text goes to a sink piece by piece, so that a
// caller can fill a fixed buffer or write to a stream without any limit of its own.
//
// Understood: %d %i %u %x %X %c %s %%, the flags '-' and '0', a width and, for %s, a
// precision (digits or '*'), and the length modifiers h, hh, l, ll and z. Anything else (%f, %n,
// %p, ...) is not formatted: the formatter stops there and reports failure.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace text {

class FormatSink {
 public:
  virtual void put(const char* piece, std::size_t length) = 0;

 protected:
  ~FormatSink() = default;
};

// Formats `pattern` into `sink`. False when the pattern holds a conversion that is not
// understood; what came before it has been put.
bool formatTo(FormatSink& sink, const char* pattern, va_list arguments);

// Formats into a buffer of `capacity` bytes, always zero-terminated when capacity > 0. False
// when the text did not fit (the buffer holds as much of it as fits) or the pattern is not
// understood.
bool formatArguments(char* destination, std::size_t capacity, const char* pattern,
                     va_list arguments);

}  // namespace text
