#include <new>
#include <utility>

#include "common/bounded_text.h"
#include "common/heap_array.h"
#include "platform/processes.h"
#include "system/perf_data.h"
#include "system/process_backends.h"
#include "system/process_tasks.h"

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

// Lists the processes of `ids` whose image path can be read, in that order. False when a record
// cannot be allocated: a list that lacks processes must not be taken for the whole.
bool listByIds(const platform::ProcessId* ids, std::uint32_t count, ProcessList& list) {
  for (std::uint32_t i = 0; i < count; ++i) {
    ProcessRecord candidate;
    candidate.processId = ids[i];
    candidate.process = openKeeping(candidate, kOpenForImageName);
    if (!candidate.process ||
        readImagePath(candidate.process.get(), candidate.imagePath, platform::kMaxPath) == 0) {
      continue;
    }
    ProcessRecord* record = list.append();
    if (record == nullptr) return false;
    record->processId = candidate.processId;
    text::copy(record->imagePath, candidate.imagePath);
    record->process = std::move(candidate.process);
    record->canTerminate = candidate.canTerminate;
  }
  return true;
}

}  // namespace

ProcessRecord* ProcessList::append() {
  auto* record = new (std::nothrow) ProcessRecord();
  if (record == nullptr) return nullptr;
  if (last_ != nullptr) {
    last_->next = record;
  } else {
    first_ = record;
  }
  last_ = record;
  ++count_;
  return record;
}

void ProcessList::clear() {
  while (first_ != nullptr) {
    ProcessRecord* next = first_->next;
    delete first_;
    first_ = next;
  }
  last_ = nullptr;
  count_ = 0;
}

std::uint32_t readImagePath(platform::Handle process, char* buffer, std::uint32_t capacity) {
  platform::Processes& processes = platform::processes();
  return processes.processStatusAvailable()
             ? processes.imageFileName(process, buffer, capacity)
             : processes.nativeImageFileName(process, buffer, capacity);
}

bool listProcessesToolhelp(ProcessList& list) {
  list.clear();
  platform::Processes& processes = platform::processes();
  platform::ScopedSnapshot snapshot(processes.createProcessSnapshot());
  if (!snapshot) return false;
  platform::ProcessEntry entry;
  if (!processes.firstProcess(snapshot.get(), entry)) return false;
  do {
    ProcessRecord* record = list.append();
    if (record == nullptr) return false;
    record->processId = entry.id;
    text::copy(record->imagePath, entry.exeFile);
    // Opened now, while the snapshot's process is the one of this id, and kept.
    record->process = openKeeping(*record, platform::kProcessQueryInformation);
  } while (processes.nextProcess(snapshot.get(), entry));
  return true;
}

bool listProcessesPsapi(ProcessList& list) {
  list.clear();
  HeapArray<platform::ProcessId> ids(kMaxProcessIds);
  std::uint32_t count = 0;
  if (!ids || !platform::processes().enumerateProcesses(ids.data(), kMaxProcessIds, count) ||
      count == 0) {
    return false;
  }
  return listByIds(ids.data(), count, list);
}

bool listProcessesPerfData(ProcessList& list) {
  list.clear();
  PerfTask tasks[kMaxPerfTasks + 1] = {};
  int count = readProcessTasks(tasks);
  if (count == 0) return false;
  platform::ProcessId ids[kMaxPerfTasks] = {};
  for (int i = 0; i < count; ++i) ids[i] = tasks[i].processId;
  return listByIds(ids, static_cast<std::uint32_t>(count), list);
}
