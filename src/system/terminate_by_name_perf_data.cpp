// Ending processes by their image's file name on the NT family, through the performance data.
#include <cstring>

#include "common/bounded_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "system/process_backends.h"
#include "system/process_tasks.h"

namespace {

constexpr std::uint32_t kWaitForClose = 2000;
constexpr std::uint32_t kPauseAfterEachMatch = 500;

// The performance data name further instances of one program "name#1", "name#2", ...
bool namesSameProgram(const char* taskName, const char* baseName) {
  std::size_t length = std::strlen(baseName);
  if (length == 0 || std::strlen(taskName) < length) return false;
  char head[sizeof PerfTask::name];
  text::copy(head, taskName);
  head[length] = '\0';
  if (!text::equalsIgnoringCase(head, baseName)) return false;
  const char* rest = taskName + length;
  if (*rest == '\0') return true;
  if (*rest != '#' || rest[1] == '\0') return false;
  for (++rest; *rest != '\0'; ++rest) {
    if (!text::isAsciiDigit(*rest)) return false;
  }
  return true;
}

// The file name of `path` without its extension (cut at the last dot), upper-cased.
void programBaseName(const char* path, char (&baseName)[platform::kMaxPath]) {
  text::copy(baseName, text::fileNamePart(path));
  char* dot = std::strrchr(baseName, '.');
  if (dot != nullptr) *dot = '\0';
  text::toUpper(baseName);
}

// Whether the process runs the file of `identity`: its image's path, as the process-status
// library (or, without it, the native layer) reads it, must lie on a fixed drive of this machine
// and open to that very file. A process of the same name that runs another file is somebody else's
// program.
bool runsTheFile(platform::Handle process, const platform::FileIdentity& identity) {
  char image[platform::kMaxPath] = {};
  platform::FileIdentity found;
  return readImagePath(process, image, sizeof image) != 0 && isOnFixedDrive(image) &&
         platform::files().identifyPath(image, found) && platform::sameFile(found, identity);
}

enum class Outcome { kNotTheFile, kEnded, kNotEnded };

// Asks the process to close its windows and ends it if it has not gone within the wait. A wait
// that fails says nothing about the process, so it is ended as after a time-out. Nothing is
// asked of a process that does not run the file.
Outcome endIfRunsTheFile(platform::ProcessId id, const platform::FileIdentity& identity) {
  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(
      processes.openProcess(id, platform::kSynchronize | platform::kProcessTerminate |
                                    platform::kProcessQueryInformation | platform::kProcessVmRead));
  if (!process || !runsTheFile(process.get(), identity)) return Outcome::kNotTheFile;
  processes.enumerateWindows(closeProcessWindows, id);
  if (processes.waitForProcess(process.get(), kWaitForClose) == platform::kWaitObject0) {
    return Outcome::kEnded;
  }
  return processes.terminateProcess(process.get(), 0) ? Outcome::kEnded : Outcome::kNotEnded;
}

}  // namespace

int terminateByNamePerfData(const char* path, const platform::FileIdentity& identity) {
  if (std::strlen(path) <= 4) return 0;
  char baseName[platform::kMaxPath];
  programBaseName(path, baseName);

  PerfTask tasks[kMaxPerfTasks + 1] = {};
  int count = readProcessTasks(tasks);

  int ended = 0;
  for (int i = 0; i < count; ++i) {
    if (!namesSameProgram(tasks[i].name, baseName)) continue;
    Outcome outcome = endIfRunsTheFile(tasks[i].processId, identity);
    if (outcome == Outcome::kEnded) ended = 1;
    // The pause lets a process that was asked to end go; a process that merely shares the
    // name (anybody can start hundreds) costs nothing.
    if (outcome != Outcome::kNotTheFile) platform::clock().sleep(kPauseAfterEachMatch);
  }
  return ended;
}

bool closeProcessWindows(platform::WindowHandle window, std::uintptr_t processId) {
  platform::Processes& processes = platform::processes();
  if (processes.windowProcess(window) == processId) processes.postClose(window);
  return true;
}
