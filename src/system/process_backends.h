// The platform family and the process services that differ by it.
#pragma once

constexpr int kPlatformUnknown = 0;
constexpr int kPlatformOther = 1;
constexpr int kPlatformWindows9x = 4;
constexpr int kPlatformNt = 5;

// 4 for the 95/98/Me family, 5 for the NT family, 1 for another platform, 0 when unknown.
int getPlatformClass();

// Ends the running process whose image file name equals that of `path`. Returns 1 when one was
// ended (or the platform has no way to look), 0 otherwise.
int terminateProcessByFileName(const char* path);
