// Text from a disk or a registry, made safe to print on a terminal.
#pragma once

#include <cstddef>

namespace text {

// Copies `text` into `out` with every control character but the tab, every C1 control and every
// byte that is not part of a well-formed UTF-8 sequence written as \xNN, so that a name on a disk
// can neither move the cursor, erase or rewrite a line, nor change the terminal's settings. Always
// zero-terminated when capacity > 0; false when the whole did not fit (`out` then ends at a whole
// escape).
bool escapeForTerminal(const char* text, char* out, std::size_t capacity);

}  // namespace text
