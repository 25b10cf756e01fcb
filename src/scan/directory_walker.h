// Visits every entry under a search pattern, recursively, and offers each regular file to the
// WormCheckTable.
#pragma once

// Result of a walk that met a pattern it could not split into folder and name.
constexpr int kWalkPatternError = -1;

// `pattern` is a folder followed by "\*.*". Returns 0 when the walk ended because the scan was
// terminated, kWalkPatternError when a pattern had no '.', and otherwise the current count of
// scanned files.
int walkDirectory(const char* pattern);

// Offers exactly the file at `path` to the checks, as the memory scan examines a process's image:
// shown on the status line, not counted among the scanned files, no pattern searched and no
// folder entered, so that nothing but that file is looked at. Returns 0 when the scan was
// terminated or `path` names no single file, else the current count of scanned files.
int examineFile(const char* path);
