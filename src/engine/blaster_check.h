// The check of the W32/Blaster.Worm family: identifies a worm file by its PE headers and two
// probes near its entry point, and has an identified file cleaned.
#pragma once

// The WormCheck of the family. On an identification: counts the file, runs the registry
// cleanup, and either records the finding for the memory scan (which removes the file later) or
// applies the file remedy. Returns 1 when the file was identified, 0 otherwise; 0 also on the
// memory scan's removal walk (memoryRemedyCode set), which only removes the file. A file that
// cannot be opened or read is not identified and nothing is reported.
int checkBlasterFile(const char* entryVirusName, const char* path);
