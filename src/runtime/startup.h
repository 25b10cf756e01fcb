// The start and end of the shipped programs, in place of a C runtime's: the static constructors,
// the functions registered with atexit() (static destructors), and the end of the process.
#pragma once

namespace runtime {

// Runs the static constructors, once.
void construct();
// Runs the functions registered with atexit(), newest first, and ends the process with `status`.
[[noreturn]] void finish(int status);

}  // namespace runtime
