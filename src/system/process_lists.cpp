#include "common/bounded_text.h"
#include "platform/processes.h"
#include "system/process_backends.h"

namespace {

constexpr std::uint32_t kMaxProcessIds = 1024;
constexpr std::uint32_t kOpenForImageName =
    platform::kProcessQueryInformation | platform::kProcessVmRead;

// Opens the process with `wanted` and the right to end it, or, where that right is refused,
// with `wanted` alone.
platform::ScopedProcess openKeeping(ProcessRecord& record, std::uint32_t wanted) {
  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(
      processes.openProcess(record.processId, wanted | platform::kProcessTerminate));
  record.canTerminate = process.valid();
  if (!process) process.reset(processes.openProcess(record.processId, wanted));
  return process;
}

}  // namespace

bool listProcessesToolhelp(ProcessList& list) {
  list.clear();
  platform::Processes& processes = platform::processes();
  platform::ScopedSnapshot snapshot(processes.createProcessSnapshot());
  if (!snapshot) return false;
  platform::ProcessEntry entry;
  if (!processes.firstProcess(snapshot.get(), entry)) return false;
  do {
    ProcessRecord& record = list.emplace_back();
    record.processId = entry.id;
    text::copy(record.imagePath, entry.exeFile);
    // Opened now, while the snapshot's process is the one of this id, and kept.
    record.process = openKeeping(record, platform::kProcessQueryInformation);
  } while (processes.nextProcess(snapshot.get(), entry));
  return true;
}

bool listProcessesPsapi(ProcessList& list) {
  list.clear();
  platform::Processes& processes = platform::processes();
  std::vector<platform::ProcessId> ids(kMaxProcessIds, 0);
  std::uint32_t count = 0;
  if (!processes.enumerateProcesses(ids.data(), kMaxProcessIds, count) || count == 0) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    ProcessRecord record;
    record.processId = ids[i];
    record.process = openKeeping(record, kOpenForImageName);
    if (!record.process ||
        processes.imageFileName(record.process.get(), record.imagePath, platform::kMaxPath) == 0) {
      continue;
    }
    list.push_back(std::move(record));
  }
  return true;
}
