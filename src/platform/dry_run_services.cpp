#include <cstring>

#include "common/bounded_text.h"
#include "platform/dry_run.h"

namespace platform {

DryRunServices::OpenService* DryRunServices::find(Handle service) {
  for (OpenService& open : open_) {
    if (open.handle == service) return &open;
  }
  return nullptr;
}

bool DryRunServices::listed(const char (&names)[kChangedCapacity][kMaxPath], int count,
                            const char* name) {
  for (int i = 0; i < count; ++i) {
    if (text::equalsIgnoringCase(names[i], name)) return true;
  }
  return false;
}

bool DryRunServices::enumerateActive(Handle manager, void* buffer, std::uint32_t size,
                                     std::uint32_t& needed, std::uint32_t& returned) {
  bool whole = real_.enumerateActive(manager, buffer, size, needed, returned);
  if (buffer == nullptr || stoppedCount_ == 0) return whole;
  // The entries lie at the start of the buffer, their texts after them; a stopped one is taken
  // out by moving the later entries down (their texts stay where they are).
  auto* entries = static_cast<unsigned char*>(buffer);
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < returned; ++i) {
    ServiceStatusEntry entry;
    std::memcpy(&entry, entries + i * sizeof entry, sizeof entry);
    if (entry.serviceName != nullptr && listed(stopped_, stoppedCount_, entry.serviceName)) {
      continue;
    }
    if (kept != i) std::memcpy(entries + kept * sizeof entry, &entry, sizeof entry);
    ++kept;
  }
  returned = kept;
  return whole;
}

Handle DryRunServices::openService(Handle manager, const char* name, std::uint32_t access) {
  if (name == nullptr || listed(deleted_, deletedCount_, name)) return kNoHandle;
  OpenService* slot = find(kNoHandle);
  char kept[kMaxPath];
  if (slot == nullptr || !text::copy(kept, name)) return kNoHandle;
  // A stop is asked through a handle that may ask the state too, which a pretended stop reads.
  Handle service = real_.openService(manager, name, access);
  if (service == kNoHandle) return kNoHandle;
  slot->handle = service;
  text::copy(slot->name, kept);
  return service;
}

bool DryRunServices::controlStop(Handle service, std::uint32_t& state) {
  OpenService* open = find(service);
  std::uint32_t current = 0;
  if (open == nullptr || !real_.queryState(service, current)) return false;
  // The system refuses to stop a service that is not running.
  if (current == kServiceStopped || listed(stopped_, stoppedCount_, open->name)) return false;
  if (stoppedCount_ < kChangedCapacity) text::copy(stopped_[stoppedCount_++], open->name);
  ++changes_.servicesStopped;
  state = kServiceStopped;
  return true;
}

bool DryRunServices::queryState(Handle service, std::uint32_t& state) {
  OpenService* open = find(service);
  if (open != nullptr && listed(stopped_, stoppedCount_, open->name)) {
    state = kServiceStopped;
    return true;
  }
  return real_.queryState(service, state);
}

bool DryRunServices::deleteService(Handle service) {
  OpenService* open = find(service);
  if (open == nullptr || listed(deleted_, deletedCount_, open->name)) return false;
  if (deletedCount_ < kChangedCapacity) text::copy(deleted_[deletedCount_++], open->name);
  ++changes_.servicesDeleted;
  return true;
}

bool DryRunServices::closeHandle(Handle handle) {
  OpenService* open = find(handle);
  if (open != nullptr) open->handle = kNoHandle;
  return real_.closeHandle(handle);
}

}  // namespace platform
