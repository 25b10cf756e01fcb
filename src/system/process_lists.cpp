#include "common/bounded_text.h"
#include "platform/processes.h"
#include "system/process_backends.h"

namespace {

constexpr std::uint32_t kMaxProcessIds = 1024;
constexpr std::uint32_t kOpenForImageName =
    platform::kProcessQueryInformation | platform::kProcessVmRead;

ProcessRecord recordOf(platform::ProcessId id, const char* imagePath) {
  ProcessRecord record;
  record.processId = id;
  text::copy(record.imagePath, imagePath);
  return record;
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
    list.push_back(recordOf(entry.id, entry.exeFile));
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
    platform::ScopedProcess process(processes.openProcess(ids[i], kOpenForImageName));
    if (!process) continue;
    char imagePath[platform::kMaxPath] = {};
    if (processes.imageFileName(process.get(), imagePath, sizeof imagePath) == 0) continue;
    list.push_back(recordOf(ids[i], imagePath));
  }
  return true;
}
