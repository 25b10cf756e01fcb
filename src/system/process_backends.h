// The platform family, and the process services that differ by it: listing the running
// processes with their image paths, and ending the process that runs a given file.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

constexpr int kPlatformUnknown = 0;
constexpr int kPlatformOther = 1;
constexpr int kPlatformWindows9x = 4;
constexpr int kPlatformNt = 5;

// 4 for the 95/98/Me family, 5 for the NT family, 1 for another platform, 0 when unknown.
int getPlatformClass();

// 5 for NT 4.0 and older, 6 for major version 5 (2000, XP), 0 for anything else, for a system
// outside the NT family and when the version cannot be had.
int getNtGeneration();

// One running process and the full path of its image.
struct ProcessRecord {
  std::uint32_t processId = 0;
  char imagePath[340] = {};
};
using ProcessList = std::vector<ProcessRecord>;

// Each fills `list` in enumeration order and returns true, or returns false when there is no
// usable list (the service is missing or failed).
bool listProcessesToolhelp(ProcessList& list);
bool listProcessesPsapi(ProcessList& list);

// Ends the running process whose image file name equals that of `path`. Returns 1 when one was
// ended (or the platform has no way to look), 0 otherwise.
int terminateProcessByFileName(const char* path);

// The ToolHelp way (95/98/Me): ends the first process whose image has the file's name.
int terminateByNameToolhelp(const char* path);

// The performance-data way (NT): asks every process of the file's name to close its windows,
// then ends it if it does not. Returns 1 when at least one ended.
int terminateByNamePerfData(const char* path);

// The window-enumeration callback: asks the window to close when it belongs to `processId`.
// Always lets the enumeration go on.
bool closeProcessWindows(platform::WindowHandle window, std::uintptr_t processId);
