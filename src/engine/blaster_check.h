// The check of the W32/Blaster.Worm family: identifies a worm file by its PE headers and two
// probes near its entry point, and has an identified file cleaned.
#pragma once

// Returns 1 when the file was identified (or dealt with), 0 otherwise.
int checkBlasterFile(const char* entryVirusName, const char* path);
