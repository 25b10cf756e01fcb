// Writing to the standard output and error streams without a C runtime: what the console
// programs print, formatted by the program's own formatter and written straight to the stream's
// handle. Nothing is cut: a long text is written in pieces. Standard output is buffered until
// flush(), or until its buffer fills; standard error is written at once.
#pragma once

#include <cstddef>

namespace console {

enum class Stream { kOutput, kError };

void write(Stream stream, const char* text, std::size_t length);
void write(Stream stream, const char* text);
void print(Stream stream, const char* pattern, ...) __attribute__((format(printf, 2, 3)));
// Writes what is waiting for `stream`. A program flushes standard output before it ends.
void flush(Stream stream);

// Says `message` on the error stream and ends the program at once: for a wiring mistake that no
// run can recover from.
[[noreturn]] void fail(const char* message);

}  // namespace console
