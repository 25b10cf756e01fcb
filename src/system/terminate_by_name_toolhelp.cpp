// Ending a process by its image's file name on the 95/98/Me family, through a ToolHelp snapshot.
#include <cstring>

#include "common/bounded_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "system/process_backends.h"

namespace {

// The pauses give the system time to settle between snapshot calls, as the 95/98/Me family
// needs; they are part of how this back-end behaves, not timing guesses of ours.
constexpr std::uint32_t kPauseBetweenCalls = 100;
constexpr std::uint32_t kPauseBeforeOpen = 50;
constexpr std::uint32_t kPauseAfterTermination = 500;
// The right to end it, and, to read its image's path where the entry names no folder, the
// rights the process-status library needs.
constexpr std::uint32_t kOpenForTermination =
    platform::kProcessTerminate | platform::kProcessQueryInformation | platform::kProcessVmRead;

void pause(std::uint32_t milliseconds) { platform::clock().sleep(milliseconds); }

// The paths by which the file in hand can be named: the path it was reached by and its short
// form.
struct FileNames {
  const char* longPath;
  char shortPath[platform::kMaxPath] = {};
};

bool namesTheFile(const char* image, const FileNames& file) {
  return text::samePathText(image, file.longPath) ||
         (file.shortPath[0] != '\0' && text::samePathText(image, file.shortPath));
}

// The family's own entries name the image's whole path. An entry without a folder (as Wine's
// are) is confirmed through the process-status library where it exists: a name alone is never
// taken for the file.
bool runsTheFile(const platform::ProcessEntry& entry, platform::Handle process,
                 const FileNames& file) {
  if (std::strchr(entry.exeFile, '\\') != nullptr) return namesTheFile(entry.exeFile, file);
  char image[platform::kMaxPath] = {};
  return process != platform::kNoHandle &&
         platform::processes().imageFileName(process, image, sizeof image) != 0 &&
         namesTheFile(image, file);
}

// Ends the entry's process if it runs the file: 1 when ended, 0 when it could not be ended, -1
// when it is not the file's process.
int endIfRunsTheFile(const platform::ProcessEntry& entry, const FileNames& file) {
  pause(kPauseBeforeOpen);
  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(processes.openProcess(entry.id, kOpenForTermination));
  if (!runsTheFile(entry, process.get(), file)) return -1;
  int ended = process && processes.terminateProcess(process.get(), 0) ? 1 : 0;
  pause(kPauseAfterTermination);
  return ended;
}

}  // namespace

int terminateByNameToolhelp(const char* path) {
  platform::Processes& processes = platform::processes();
  pause(kPauseBetweenCalls);
  platform::ScopedSnapshot snapshot(processes.createProcessSnapshot());
  pause(kPauseBetweenCalls);
  if (!snapshot) return 0;

  char target[platform::kMaxPath];
  text::copy(target, text::fileNamePart(path));
  text::toUpper(target);
  FileNames file{path};
  platform::files().shortPathName(path, file.shortPath, sizeof file.shortPath);

  platform::ProcessEntry entry;
  if (!processes.firstProcess(snapshot.get(), entry)) return 0;
  for (;;) {
    if (text::equalsIgnoringCase(text::fileNamePart(entry.exeFile), target)) {
      // Only the first process that runs the file is treated.
      int ended = endIfRunsTheFile(entry, file);
      if (ended >= 0) return ended;
    }
    pause(kPauseBetweenCalls);
    bool more = processes.nextProcess(snapshot.get(), entry);
    pause(kPauseBetweenCalls);
    if (!more) return 0;
  }
}
