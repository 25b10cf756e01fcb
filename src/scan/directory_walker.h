// Visits every entry under a search pattern, recursively, and offers each regular file to the
// WormCheckTable.
#pragma once

// Result of a walk that met a pattern it could not split into folder and name.
constexpr int kWalkPatternError = -1;

// `pattern` is a folder followed by "\*.*", or, during the memory scan, the full path of one
// file. Returns 0 when the walk ended because the scan was terminated, kWalkPatternError when a
// pattern had no '.', and otherwise the current count of scanned files.
int walkDirectory(const char* pattern);
