#include "platform/dry_run.h"

namespace platform {

DryRunProcesses::OpenProcess* DryRunProcesses::find(Handle process) {
  for (OpenProcess& open : open_) {
    if (open.handle == process) return &open;
  }
  return nullptr;
}

bool DryRunProcesses::ended(ProcessId id) const {
  for (int i = 0; i < endedCount_; ++i) {
    if (ended_[i] == id) return true;
  }
  return false;
}

bool DryRunProcesses::endedThrough(Handle process) {
  OpenProcess* open = find(process);
  return open != nullptr && ended(open->id);
}

bool DryRunProcesses::nextShown(Handle snapshot, ProcessEntry& entry, bool found) {
  while (found && ended(entry.id)) found = real_.nextProcess(snapshot, entry);
  return found;
}

bool DryRunProcesses::firstProcess(Handle snapshot, ProcessEntry& entry) {
  return nextShown(snapshot, entry, real_.firstProcess(snapshot, entry));
}

bool DryRunProcesses::nextProcess(Handle snapshot, ProcessEntry& entry) {
  return nextShown(snapshot, entry, real_.nextProcess(snapshot, entry));
}

bool DryRunProcesses::enumerateProcesses(ProcessId* ids, std::uint32_t capacity,
                                         std::uint32_t& count) {
  if (!real_.enumerateProcesses(ids, capacity, count)) return false;
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < count && i < capacity; ++i) {
    if (!ended(ids[i])) ids[kept++] = ids[i];
  }
  count = kept;
  return true;
}

// An ended process's image can no longer be read or told.
std::uint32_t DryRunProcesses::imageFileName(Handle process, char* buffer, std::uint32_t capacity) {
  if (endedThrough(process)) return 0;
  return real_.imageFileName(process, buffer, capacity);
}

std::uint32_t DryRunProcesses::nativeImageFileName(Handle process, char* buffer,
                                                   std::uint32_t capacity) {
  if (endedThrough(process)) return 0;
  return real_.nativeImageFileName(process, buffer, capacity);
}

bool DryRunProcesses::imageIdentity(Handle process, FileIdentity& identity) {
  if (endedThrough(process)) return false;
  return real_.imageIdentity(process, identity);
}

std::uint32_t DryRunProcesses::mappedImagePath(Handle process, char* buffer,
                                               std::uint32_t capacity) {
  if (endedThrough(process)) {
    if (capacity > 0) buffer[0] = '\0';
    return 0;
  }
  return real_.mappedImagePath(process, buffer, capacity);
}

// Opened with the rights a real run asks for (opening changes nothing), so that a process a real
// run could not open to end is not one this run pretends to end.
Handle DryRunProcesses::openProcess(ProcessId id, std::uint32_t access) {
  OpenProcess* slot = find(kNoHandle);
  if (slot == nullptr) return kNoHandle;
  Handle process = real_.openProcess(id, access);
  if (process == kNoHandle) return kNoHandle;
  slot->handle = process;
  slot->id = id;
  slot->access = access;
  return process;
}

bool DryRunProcesses::terminateProcess(Handle process, std::uint32_t) {
  OpenProcess* open = find(process);
  if (open == nullptr || (open->access & kProcessTerminate) == 0) return false;
  // Ending a process that has already ended succeeds and changes nothing.
  if (ended(open->id)) return true;
  if (endedCount_ == kEndedCapacity) return false;
  ended_[endedCount_++] = open->id;
  ++changes_.processesEnded;
  return true;
}

std::uint32_t DryRunProcesses::waitForProcess(Handle process, std::uint32_t milliseconds) {
  OpenProcess* open = find(process);
  if (open != nullptr && ended(open->id)) {
    return (open->access & kSynchronize) != 0 ? kWaitObject0 : kWaitFailed;
  }
  return real_.waitForProcess(process, milliseconds);
}

void DryRunProcesses::closeProcess(Handle process) {
  OpenProcess* open = find(process);
  if (open != nullptr) open->handle = kNoHandle;
  real_.closeProcess(process);
}

// A window asked to close is not asked: its process goes on, as a program may refuse to close.
bool DryRunProcesses::postClose(WindowHandle) {
  ++changes_.windowsClosed;
  return true;
}

int DryRunProcesses::restartSystem() {
  ++changes_.restarts;
  return 1;
}

}  // namespace platform
