#include "platform/offline/offline_services.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// "ControlSet" and three digits, in any letter case.
bool isControlSetName(const char* name, std::size_t length) {
  constexpr std::size_t kStem = 10;
  if (length != kStem + 3 || std::strlen(name) != length) return false;
  char stem[kStem + 1] = {};
  std::memcpy(stem, name, kStem);
  if (!text::equalsIgnoringCase(stem, "ControlSet")) return false;
  for (std::size_t at = kStem; at < length; ++at) {
    if (!std::isdigit(static_cast<unsigned char>(name[at]))) return false;
  }
  return true;
}

// The control sets of the SYSTEM hive, in the order of their numbers.
std::vector<hive_node_h> controlSets(hive_h* hive) {
  std::unique_ptr<hive_node_h, decltype(&std::free)> children(
      hivex_node_children(hive, hivex_root(hive)), &std::free);
  std::vector<std::pair<std::string, hive_node_h>> found;
  if (children) {
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
      std::unique_ptr<char, decltype(&std::free)> name(hivex_node_name(hive, *child), &std::free);
      if (name && isControlSetName(name.get(), hivex_node_name_len(hive, *child))) {
        found.emplace_back(name.get() + 10, *child);
      }
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<hive_node_h> sets;
  for (const auto& [number, node] : found) sets.push_back(node);
  return sets;
}

// "ControlSet001\Services\Name": the key's path from the hive's root, for the record of changes.
std::string keyPathOf(hive_h* hive, hive_node_h key) {
  std::string path;
  hive_node_h root = hivex_root(hive);
  for (int depth = 0; key != 0 && key != root && depth < 16; ++depth) {
    std::unique_ptr<char, decltype(&std::free)> name(hivex_node_name(hive, key), &std::free);
    path = std::string(name ? name.get() : "?") + (path.empty() ? "" : "\\" + path);
    key = hivex_node_parent(hive, key);
  }
  return path;
}

}  // namespace

std::vector<hive_node_h> OfflineServices::serviceKeys(const std::string& name) const {
  std::vector<hive_node_h> keys;
  HiveFile* system = hives_.system();
  if (system == nullptr) return keys;
  hive_h* hive = system->hive();
  for (hive_node_h set : controlSets(hive)) {
    hive_node_h services = childNamed(hive, set, "Services");
    hive_node_h service = services != 0 ? childNamed(hive, services, name) : 0;
    if (service != 0) keys.push_back(service);
  }
  return keys;
}

const OfflineServices::OpenService* OfflineServices::serviceFor(Handle handle,
                                                                std::uint32_t needs) const {
  auto it = services_.find(handle);
  if (it == services_.end() || (it->second.access & needs) != needs) return nullptr;
  if (serviceKeys(it->second.name).empty()) return nullptr;
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
  if (serviceKeys(wanted).empty()) return kNoHandle;
  Handle handle = next_++;
  services_.emplace(handle, OpenService{wanted, access});
  return handle;
}

bool OfflineServices::queryBinaryPath(Handle handle, char* path, std::size_t capacity) {
  if (capacity > 0) path[0] = '\0';
  const OpenService* service = serviceFor(handle, kQueryConfigRight);
  if (service == nullptr) return false;
  hive_h* hive = hives_.system()->hive();
  for (hive_node_h key : serviceKeys(service->name)) {
    hive_value_h value = valueNamed(hive, key, "ImagePath");
    std::uint32_t type = 0;
    std::string stored;
    if (value == 0 || !readValue(hive, value, type, stored)) continue;
    // Stored with its terminating zero; the path is the text before it.
    std::string binaryPath = stored.substr(0, stored.find('\0'));
    if (!text::copy(path, capacity, binaryPath.c_str())) {
      if (capacity > 0) path[0] = '\0';
      return false;
    }
    return true;
  }
  return false;
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
  // A deletion invalidates the keys below the one deleted, so the next control set's key is
  // found anew each time.
  std::size_t controlSetsHolding = serviceKeys(service->name).size();
  for (std::size_t round = 0; round < controlSetsHolding; ++round) {
    std::vector<hive_node_h> keys = serviceKeys(service->name);
    if (keys.empty()) break;
    system.markChanged();
    std::string where = keyPathOf(system.hive(), keys.front());
    if (hivex_node_delete_child(system.hive(), keys.front()) != 0) {
      hives_.note(system, "deleting the service key \"" + service->name +
                              "\" failed half-way; the hive will not be written");
      system.markSpoiled();
      return false;
    }
    hives_.noteChange(system, "key " + where + " deleted");
  }
  if (!serviceKeys(service->name).empty()) {
    hives_.note(system, "the service key \"" + service->name + "\" is still there after deletion");
    system.markSpoiled();
    return false;
  }
  return controlSetsHolding > 0;
}

bool OfflineServices::closeHandle(Handle handle) {
  return managers_.erase(handle) != 0 || services_.erase(handle) != 0;
}

}  // namespace platform::offline
