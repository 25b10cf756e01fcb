// One copy of the program at a time, among our own copies only.
#pragma once

#include "platform/processes.h"

// Takes the mark that running copies of this program hold (kept in `mark` for as long as the
// program runs) and tells whether another copy already runs: the mark was held before, and a
// top-level window titled `caption` belongs to a process whose image is this program's own file.
// A window of that title from any other program stops nothing, and neither does a mark alone.
bool anotherCopyRuns(const char* caption, platform::ScopedNamedMark& mark);
