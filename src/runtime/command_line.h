// Splitting a command line into arguments, as the system's C runtime splits it for main().
#pragma once

#include <cstddef>

namespace runtime {

// The rules: the program's name (argv[0]) ends at the first blank outside quotes and keeps its
// backslashes; after it, arguments are separated by blanks and tabs outside quotes, quotes group
// and are removed, 2n backslashes before a quote give n backslashes (the quote groups), 2n+1 give
// n backslashes and a literal quote, backslashes elsewhere are literal, and inside quotes a
// doubled quote gives one literal quote. The texts are written into `storage`, each
// zero-terminated, and pointed to from `arguments`, which ends with a null. Returns the number
// of arguments, or -1 when `storage` or `arguments` is too small.
int splitCommandLine(const char* line, char* storage, std::size_t storageSize, char** arguments,
                     int argumentCapacity);

// The part of `line` after the program's name and the blanks that follow it: what WinMain is
// given.
const char* commandTail(const char* line);

}  // namespace runtime
