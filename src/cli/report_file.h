// vandrel-cli's --report FILE: the scan's JSON document written where an administrator collects
// the reports of many machines, often a share, so that a reader never meets half of one.
#pragma once

#include <windows.h>

#include <cstddef>

namespace cli {

// The program's single-byte names in UTF-8, through UTF-16 (json::ToUtf8).
std::size_t codePageToUtf8(const char* text, char* buffer, std::size_t capacity);

// Writes `length` bytes of `text` to a new file beside `target` (never one that exists: a name
// of its own, created only if absent), flushes it, and gives it `target`'s name, replacing any
// file there. The NT family replaces in one step; the 95/98/Me family has no such move, so the
// old file is deleted first and the new one moved to its name (a reader may then, for a moment,
// find no report, but never a part of one). False on failure, with the system's error code in
// `error` and, in `stage`, what failed; the new file is then removed again.
bool writeReportFile(const char* target, const char* text, std::size_t length, DWORD& error,
                     const char*& stage);

}  // namespace cli
