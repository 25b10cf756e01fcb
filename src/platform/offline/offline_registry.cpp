#include "platform/offline/offline_registry.h"

#include <cstring>

#include "common/bounded_text.h"
#include "platform/offline/hive_keys.h"

namespace platform::offline {
namespace {

constexpr std::uint32_t kKeyQueryValue = 0x0001;

std::string keyPath(const std::vector<std::string>& components) {
  std::string path;
  for (const std::string& component : components) path += (path.empty() ? "" : "\\") + component;
  return path.empty() ? "(root key)" : path;
}

}  // namespace

bool OfflineRegistry::resolve(Handle handle, OpenKey& key) const {
  key = OpenKey();
  key.access = ~std::uint32_t{0};
  switch (handle) {
    case kRootLocalMachine:
    case kRootUsers:
      key.virtualRoot = handle;
      return true;
    case kRootCurrentUser:
      for (HiveFile* user : hives_.users()) key.locations.push_back({user, {}});
      return true;
    default:
      break;
  }
  auto it = open_.find(handle);
  if (it == open_.end()) return false;
  key = it->second;
  return true;
}

std::vector<OfflineRegistry::Location> OfflineRegistry::belowVirtualRoot(
    Handle root, std::vector<std::string>& components) const {
  if (components.empty()) return {};
  HiveFile* hive = nullptr;
  const std::string& first = components.front();
  if (root == kRootLocalMachine && text::equalsIgnoringCase(first.c_str(), "Software")) {
    hive = hives_.software();
  } else if (root == kRootLocalMachine && text::equalsIgnoringCase(first.c_str(), "System")) {
    hive = hives_.system();
  } else if (root == kRootUsers && text::equalsIgnoringCase(first.c_str(), ".Default")) {
    hive = hives_.defaultUser();
  }
  if (hive == nullptr) return {};
  components.erase(components.begin());
  return {{hive, {}}};
}

long OfflineRegistry::openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) {
  OpenKey parent;
  if (!resolve(root, parent)) {
    return root == kRootPerformanceData ? kErrorFileNotFound : kErrorInvalidHandle;
  }
  std::vector<std::string> components;
  if (!splitKeyPath(subkey, components)) return kErrorFileNotFound;

  OpenKey opened;
  opened.access = access;
  std::vector<Location> places = parent.locations;
  if (parent.virtualRoot != kNoHandle) {
    if (components.empty()) {
      opened.virtualRoot = parent.virtualRoot;
    } else {
      places = belowVirtualRoot(parent.virtualRoot, components);
    }
  }
  int unreadable = 0;
  for (Location& place : places) {
    place.path.insert(place.path.end(), components.begin(), components.end());
    // A hive that cannot be read there has its problem reported (and the run's status says so);
    // the key still opens in the others.
    Lookup found = place.hive->findKey(place.path);
    if (found == Lookup::kFound) opened.locations.push_back(place);
    if (found == Lookup::kFailed || found == Lookup::kAmbiguous) ++unreadable;
  }
  if (opened.virtualRoot == kNoHandle && opened.locations.empty()) {
    return unreadable > 0 ? kErrorRegistryIo : kErrorFileNotFound;
  }

  key = next_++;
  open_.emplace(key, std::move(opened));
  return kErrorSuccess;
}

long OfflineRegistry::queryValue(Handle handle, const char* name, std::uint32_t* type, void* data,
                                 std::uint32_t* size) {
  OpenKey key;
  if (!resolve(handle, key)) {
    return handle == kRootPerformanceData ? kErrorFileNotFound : kErrorInvalidHandle;
  }
  if ((key.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  std::string wanted = utf8FromSingleByte(name != nullptr ? name : "");

  // The first hive with a copy that can be read answers; a hive whose copy cannot be read has
  // its problem reported and does not keep the others from answering.
  int unreadable = 0;
  for (const Location& place : key.locations) {
    std::uint32_t storedType = 0;
    std::string bytes;
    Lookup found = place.hive->queryValue(place.path, wanted, storedType, bytes);
    if (found == Lookup::kAbsent) continue;
    if (found != Lookup::kFound || bytes.size() > UINT32_MAX) {
      ++unreadable;
      continue;
    }
    auto needed = static_cast<std::uint32_t>(bytes.size());
    if (type != nullptr) *type = storedType;
    if (data != nullptr && *size < needed) {
      *size = needed;
      return kErrorMoreData;
    }
    if (data != nullptr) std::memcpy(data, bytes.data(), needed);
    if (size != nullptr) *size = needed;
    return kErrorSuccess;
  }
  return unreadable > 0 ? kErrorRegistryIo : kErrorFileNotFound;
}

long OfflineRegistry::deleteValue(Handle handle, const char* name) {
  OpenKey key;
  if (!resolve(handle, key)) return kErrorInvalidHandle;
  if ((key.access & kKeySetValue) == 0) return kErrorAccessDenied;
  std::string wanted = utf8FromSingleByte(name != nullptr ? name : "");

  int removed = 0;
  int refused = 0;
  for (const Location& place : key.locations) {
    HiveFile& file = *place.hive;
    switch (file.removeValue(place.path, wanted)) {
      case ValueRemoval::kAbsent:
        break;
      case ValueRemoval::kFailed:
        // Reported by the hive.
        ++refused;
        break;
      case ValueRemoval::kRemoved:
        hives_.noteChange(file, "value \"" + wanted + "\" of " + keyPath(place.path) + " removed");
        ++removed;
        break;
      case ValueRemoval::kNotRewritable:
        hives_.note(file, "the value \"" + wanted + "\" of " + keyPath(place.path) +
                              " was kept: a value beside it could not be carried over");
        ++refused;
        break;
      case ValueRemoval::kSpoiled:
        hives_.note(file, "removing the value \"" + wanted + "\" of " + keyPath(place.path) +
                              " left the key unsound; the hive will not be written");
        file.markSpoiled();
        ++refused;
        break;
    }
  }
  if (removed > 0) return kErrorSuccess;
  return refused > 0 ? kErrorRegistryIo : kErrorFileNotFound;
}

long OfflineRegistry::closeKey(Handle key) {
  if (key == kRootLocalMachine || key == kRootUsers || key == kRootCurrentUser ||
      key == kRootPerformanceData) {
    return kErrorSuccess;
  }
  return open_.erase(key) == 0 ? kErrorInvalidHandle : kErrorSuccess;
}

}  // namespace platform::offline
