#include <cstring>

#include "common/bounded_text.h"
#include "platform/dry_run.h"

namespace platform {

bool RemovedPaths::add(const char* path) {
  if (contains(path)) return true;
  if (count_ == kCapacity || !text::copy(paths_[count_], path)) return false;
  ++count_;
  return true;
}

bool RemovedPaths::contains(const char* path) const {
  for (int i = 0; i < count_; ++i) {
    if (text::samePathText(paths_[i], path)) return true;
  }
  return false;
}

bool RemovedPaths::containsEntry(const char* pattern, const char* name) const {
  if (count_ == 0) return false;
  const char* separator = std::strrchr(pattern, '\\');
  if (separator == nullptr) return false;
  char path[kMaxPath];
  std::size_t folderLength = static_cast<std::size_t>(separator - pattern) + 1;
  if (folderLength >= sizeof path) return false;
  std::memcpy(path, pattern, folderLength);
  path[folderLength] = '\0';
  return text::append(path, name) && contains(path);
}

DryRunFileSystem::Named* DryRunFileSystem::remember(Named (&table)[kOpenCapacity], Handle handle,
                                                    const char* path) {
  Named* slot = find(table, kNoHandle);
  if (slot == nullptr || !text::copy(slot->path, path)) return nullptr;
  slot->handle = handle;
  return slot;
}

DryRunFileSystem::Named* DryRunFileSystem::find(Named (&table)[kOpenCapacity], Handle handle) {
  for (Named& named : table) {
    if (named.handle == handle) return &named;
  }
  return nullptr;
}

// Skips the entries this dry run has removed. `found` is what the real listing answered for
// `entry`.
bool DryRunFileSystem::nextShown(Handle search, const char* pattern, FindEntry& entry, bool found) {
  while (found && removed_.containsEntry(pattern, entry.fileName)) {
    found = real_.findNext(search, entry);
  }
  return found;
}

Handle DryRunFileSystem::findFirst(const char* pattern, FindEntry& entry) {
  Handle search = real_.findFirst(pattern, entry);
  if (search == kNoHandle) return kNoHandle;
  // A search whose folder cannot be remembered could not leave out what was removed: it is
  // refused, as a folder that cannot be listed.
  Named* named = remember(searches_, search, pattern);
  if (named == nullptr) {
    real_.findClose(search);
    return kNoHandle;
  }
  if (!nextShown(search, named->path, entry, true)) {
    named->handle = kNoHandle;
    real_.findClose(search);
    return kNoHandle;
  }
  return search;
}

bool DryRunFileSystem::findNext(Handle search, FindEntry& entry) {
  Named* named = find(searches_, search);
  if (named == nullptr) return false;
  return nextShown(search, named->path, entry, real_.findNext(search, entry));
}

void DryRunFileSystem::findClose(Handle search) {
  Named* named = find(searches_, search);
  if (named != nullptr) named->handle = kNoHandle;
  real_.findClose(search);
}

bool DryRunFileSystem::exists(const char* path) {
  return !removed_.contains(path) && real_.exists(path);
}

bool DryRunFileSystem::isReadable(const char* path) {
  return !removed_.contains(path) && real_.isReadable(path);
}

Handle DryRunFileSystem::openForReading(const char* path) {
  if (removed_.contains(path)) return kNoHandle;
  return real_.openForReading(path);
}

void DryRunFileSystem::closeFile(Handle file) {
  Named* named = find(files_, file);
  if (named != nullptr) named->handle = kNoHandle;
  real_.closeFile(file);
}

bool DryRunFileSystem::setAttributes(const char* path, std::uint32_t) {
  if (!exists(path)) return false;
  ++changes_.attributesChanged;
  return true;
}

bool DryRunFileSystem::deleteFile(const char* path) {
  if (!exists(path)) return false;
  removed_.add(path);
  ++changes_.filesDeleted;
  return true;
}

// Opened as a real removal opens it, so that a file a real run could not open for removal is
// not one this run pretends to remove. Opening changes nothing.
Handle DryRunFileSystem::openForRemoval(const char* path) {
  if (removed_.contains(path)) return kNoHandle;
  Handle file = real_.openForRemoval(path);
  if (file == kNoHandle) return kNoHandle;
  if (remember(files_, file, path) == nullptr) {
    real_.closeFile(file);
    return kNoHandle;
  }
  return file;
}

bool DryRunFileSystem::setAttributesOf(Handle file, std::uint32_t) {
  if (find(files_, file) == nullptr) return false;
  ++changes_.attributesChanged;
  return true;
}

bool DryRunFileSystem::deleteOpenFile(Handle file) {
  Named* named = find(files_, file);
  if (named == nullptr) return false;
  removed_.add(named->path);
  ++changes_.filesDeleted;
  return true;
}

bool DryRunFileSystem::moveOpenFile(Handle file, const char* newPath) {
  Named* named = find(files_, file);
  if (named == nullptr || newPath == nullptr || newPath[0] == '\0') return false;
  removed_.add(named->path);
  ++changes_.filesMoved;
  return true;
}

bool DryRunFileSystem::createProtectedFolder(const char* path) {
  if (real_.exists(path)) return false;
  ++changes_.foldersCreated;
  return true;
}

bool DryRunFileSystem::identifyPath(const char* path, FileIdentity& identity) {
  return !removed_.contains(path) && real_.identifyPath(path, identity);
}

bool DryRunFileSystem::deleteAtRestart(const char*) {
  ++changes_.removalsScheduled;
  return true;
}

bool DryRunFileSystem::writeProfileSection(const char*, const char*, const char*) {
  ++changes_.removalsScheduled;
  return true;
}

}  // namespace platform
