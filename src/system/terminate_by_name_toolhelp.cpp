// Ending a process by its image's file name on the 95/98/Me family, through a ToolHelp snapshot.
#include "common/bounded_text.h"
#include "platform/clock.h"
#include "platform/processes.h"
#include "system/process_backends.h"

namespace {

// The pauses give the system time to settle between snapshot calls, as the 95/98/Me family
// needs; they are part of how this back-end behaves, not timing guesses of ours.
constexpr std::uint32_t kPauseBetweenCalls = 100;
constexpr std::uint32_t kPauseBeforeOpen = 50;
constexpr std::uint32_t kPauseAfterTermination = 500;
constexpr std::uint32_t kOpenForTermination =
    platform::kProcessTerminate | platform::kProcessQueryInformation;

void pause(std::uint32_t milliseconds) { platform::clock().sleep(milliseconds); }

int endProcess(platform::ProcessId id) {
  pause(kPauseBeforeOpen);
  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(processes.openProcess(id, kOpenForTermination));
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

  platform::ProcessEntry entry;
  if (!processes.firstProcess(snapshot.get(), entry)) return 0;
  for (;;) {
    if (text::equalsIgnoringCase(text::fileNamePart(entry.exeFile), target)) {
      // Only the first process of that name is treated.
      return endProcess(entry.id);
    }
    pause(kPauseBetweenCalls);
    bool more = processes.nextProcess(snapshot.get(), entry);
    pause(kPauseBetweenCalls);
    if (!more) return 0;
  }
}
