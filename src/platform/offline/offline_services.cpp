#include "platform/offline/offline_services.h"

#include <cstring>

#include "common/bounded_text.h"
#include "platform/offline/hive_keys.h"

namespace platform::offline {
namespace {

// The individual rights each operation needs, as the system checks them.
constexpr std::uint32_t kManagerEnumerateRight = 0x0004;
constexpr std::uint32_t kQueryConfigRight = 0x0001;
constexpr std::uint32_t kQueryStatusRight = 0x0004;

// Service names are key names: at most 256 characters, without a backslash.
constexpr std::size_t kLongestServiceName = 256;

}  // namespace

int OfflineServices::serviceKeyCount(const std::string& name) const {
  HiveFile* system = hives_.system();
  if (system == nullptr) return 0;
  int count = system->serviceKeyCount(name);
  return count < 0 ? 0 : count;
}

const OfflineServices::OpenService* OfflineServices::serviceFor(Handle handle,
                                                                std::uint32_t needs) const {
  auto it = services_.find(handle);
  if (it == services_.end() || (it->second.access & needs) != needs) return nullptr;
  if (serviceKeyCount(it->second.name) == 0) return nullptr;
  return &it->second;
}

Handle OfflineServices::openManager(std::uint32_t access) {
  if (hives_.system() == nullptr) return kNoHandle;
  Handle handle = next_++;
  managers_.emplace(handle, access);
  return handle;
}

bool OfflineServices::enumerateActive(Handle manager, void*, std::uint32_t, std::uint32_t& needed,
                                      std::uint32_t& returned) {
  needed = 0;
  returned = 0;
  auto it = managers_.find(manager);
  return it != managers_.end() && (it->second & kManagerEnumerateRight) != 0;
}

Handle OfflineServices::openService(Handle manager, const char* name, std::uint32_t access) {
  if (managers_.count(manager) == 0 || name == nullptr || name[0] == '\0' ||
      std::strlen(name) > kLongestServiceName || std::strchr(name, '\\') != nullptr) {
    return kNoHandle;
  }
  std::string wanted = utf8FromSingleByte(name);
  // A control set whose keys cannot be read or told apart there is reported by the hive (and the
  // run's status says so); the service's keys in the others are still there to delete.
  hives_.system()->findServiceKeys(wanted);
  if (serviceKeyCount(wanted) == 0) return kNoHandle;
  Handle handle = next_++;
  services_.emplace(handle, OpenService{wanted, access});
  return handle;
}

bool OfflineServices::queryBinaryPath(Handle handle, char* path, std::size_t capacity) {
  if (capacity > 0) path[0] = '\0';
  const OpenService* service = serviceFor(handle, kQueryConfigRight);
  if (service == nullptr) return false;
  std::string binaryPath;
  if (hives_.system()->serviceImagePath(service->name, binaryPath) != Lookup::kFound) return false;
  if (!text::copy(path, capacity, binaryPath.c_str())) {
    if (capacity > 0) path[0] = '\0';
    return false;
  }
  return true;
}

bool OfflineServices::controlStop(Handle, std::uint32_t&) { return false; }

bool OfflineServices::queryState(Handle handle, std::uint32_t& state) {
  if (serviceFor(handle, kQueryStatusRight) == nullptr) return false;
  state = kServiceStopped;
  return true;
}

bool OfflineServices::deleteService(Handle handle) {
  const OpenService* service = serviceFor(handle, kServiceDelete);
  if (service == nullptr) return false;
  HiveFile& system = *hives_.system();
  std::vector<std::string> deleted;
  std::string why;
  ServiceDeletion deletion = system.deleteService(service->name, deleted, why);
  for (const std::string& key : deleted) hives_.noteChange(system, "key " + key + " deleted");
  switch (deletion) {
    case ServiceDeletion::kDeleted:
      return true;
    case ServiceDeletion::kAbsent:
      return false;
    case ServiceDeletion::kRefused:
      hives_.note(system, "the service key \"" + service->name + "\" was left as it was: " + why);
      return false;
    case ServiceDeletion::kSpoiled:
      if (system.spoiled()) return false;  // its child failed, and the hive said so
      hives_.note(system, "deleting the service key \"" + service->name + "\" failed half-way (" +
                              why + "); the hive will not be written");
      system.markSpoiled();
      return false;
  }
  return false;
}

bool OfflineServices::closeHandle(Handle handle) {
  return managers_.erase(handle) != 0 || services_.erase(handle) != 0;
}

}  // namespace platform::offline
