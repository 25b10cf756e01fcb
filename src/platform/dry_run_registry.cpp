#include <cstring>

#include "common/bounded_text.h"
#include "platform/dry_run.h"

namespace platform {

DryRunRegistry::OpenKey* DryRunRegistry::find(Handle key) {
  for (OpenKey& open : open_) {
    if (open.handle == key) return &open;
  }
  return nullptr;
}

bool DryRunRegistry::valuePath(Handle key, const char* name, char (&buffer)[kMaxPath * 2]) {
  OpenKey* open = find(key);
  return open != nullptr &&
         text::format(buffer, sizeof buffer, "%s\\%s", open->path, name != nullptr ? name : "");
}

long DryRunRegistry::openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) {
  OpenKey* slot = find(kNoHandle);
  char path[kMaxPath];
  if (slot == nullptr || !text::format(path, sizeof path, "%x\\%s", static_cast<unsigned>(root),
                                       subkey != nullptr ? subkey : "")) {
    return kErrorInvalidParameter;
  }
  Handle opened = kNoHandle;
  long result = real_.openKey(root, subkey, access, opened);
  if (result != kErrorSuccess) return result;
  text::copy(slot->path, path);
  slot->handle = opened;
  key = opened;
  return kErrorSuccess;
}

long DryRunRegistry::queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                                std::uint32_t* size) {
  char path[kMaxPath * 2];
  if (deletedCount_ > 0 && valuePath(key, name, path)) {
    for (int i = 0; i < deletedCount_; ++i) {
      if (text::equalsIgnoringCase(deleted_[i], path)) return kErrorFileNotFound;
    }
  }
  return real_.queryValue(key, name, type, data, size);
}

long DryRunRegistry::deleteValue(Handle key, const char* name) {
  char path[kMaxPath * 2];
  if (!valuePath(key, name, path)) return kErrorInvalidHandle;
  for (int i = 0; i < deletedCount_; ++i) {
    if (text::equalsIgnoringCase(deleted_[i], path)) return kErrorFileNotFound;
  }
  // Only a value that is there can be deleted.
  std::uint32_t size = 0;
  long result = real_.queryValue(key, name, nullptr, nullptr, &size);
  if (result != kErrorSuccess && result != kErrorMoreData) return result;
  if (deletedCount_ < kDeletedCapacity) text::copy(deleted_[deletedCount_++], path);
  ++changes_.valuesDeleted;
  return kErrorSuccess;
}

long DryRunRegistry::closeKey(Handle key) {
  OpenKey* open = find(key);
  if (open != nullptr) open->handle = kNoHandle;
  return real_.closeKey(key);
}

}  // namespace platform
