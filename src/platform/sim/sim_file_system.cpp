#include "platform/sim/sim_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/bounded_text.h"

namespace sim {
namespace {

bool sameLetter(char a, char b) {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

bool matchesWildcard(const char* mask, const char* name) {
  if (*mask == '\0') return *name == '\0';
  if (*mask == '*') {
    for (const char* rest = name;; ++rest) {
      if (matchesWildcard(mask + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*mask == '?' || sameLetter(*mask, *name)) return matchesWildcard(mask + 1, name + 1);
  return false;
}

// As the system matches: a mask ending in ".*" also matches a name without an extension, so
// "*.*" lists every entry.
bool matchesMask(const std::string& mask, const std::string& name) {
  if (matchesWildcard(mask.c_str(), name.c_str())) return true;
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0) {
    std::string stem = mask.substr(0, mask.size() - 2);
    return name.find('.') == std::string::npos && matchesWildcard(stem.c_str(), name.c_str());
  }
  return false;
}

std::string parentKey(const std::string& key) {
  std::size_t slash = key.rfind('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

std::string lastPart(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

platform::FindEntry entryOf(const std::string& name, std::uint32_t attributes) {
  platform::FindEntry entry;
  entry.attributes = attributes;
  text::copy(entry.fileName, name.c_str());
  return entry;
}

bool copyOut(const std::string& path, char* buffer, std::size_t capacity) {
  if (capacity == 0) return false;
  if (!text::copy(buffer, capacity, path.c_str())) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

SimFileSystem::SimFileSystem(SimHandles& handles) : handles_(handles) {}

std::string SimFileSystem::absolutePath(const std::string& path) const {
  bool absolute = (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
  return absolute ? path : currentDirectory_ + "\\" + path;
}

SimFileSystem::Node* SimFileSystem::find(const std::string& path) {
  auto it = nodes_.find(keyOf(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

const SimFileSystem::Node* SimFileSystem::find(const std::string& path) const {
  auto it = nodes_.find(keyOf(path));
  return it == nodes_.end() ? nullptr : &it->second;
}

SimFileSystem::Node& SimFileSystem::ensureFolder(const std::string& key, const std::string& path) {
  auto it = nodes_.find(key);
  if (it != nodes_.end()) return it->second;
  std::string parent = parentKey(key);
  if (!parent.empty()) {
    std::size_t slash = path.find_last_of("\\/");
    ensureFolder(parent, slash == std::string::npos ? parent : path.substr(0, slash));
    nodes_[parent].children.push_back(key);
  }
  Node& node = nodes_[key];
  node.name = lastPart(path);
  node.folder = true;
  node.attributes = platform::kAttributeDirectory;
  return node;
}

void SimFileSystem::addFile(const std::string& relativeOrFull, const std::string& bytes,
                            std::uint32_t attributes) {
  std::string path = absolutePath(relativeOrFull);
  std::string key = keyOf(path);
  if (nodes_.count(key) == 0) {
    std::string parent = parentKey(key);
    std::size_t slash = path.find_last_of("\\/");
    ensureFolder(parent, path.substr(0, slash));
    nodes_[parent].children.push_back(key);
  }
  Node& node = nodes_[key];
  node.name = lastPart(path);
  node.folder = false;
  node.bytes = bytes;
  node.attributes = attributes;
}

void SimFileSystem::addFolder(const std::string& path, std::uint32_t attributes) {
  ensureFolder(keyOf(path), absolutePath(path)).attributes =
      attributes | platform::kAttributeDirectory;
}

void SimFileSystem::inject(FileFault fault, const std::string& path) {
  faults_.emplace(fault, keyOf(path));
}

bool SimFileSystem::faulty(FileFault fault, const std::string& key) const {
  return faults_.count({fault, key}) != 0;
}

void SimFileSystem::holdOpen(const std::string& path) {
  if (Node* node = find(path)) ++node->holders;
}

void SimFileSystem::letGo(const std::string& path) {
  Node* node = find(path);
  if (node != nullptr && node->holders > 0) --node->holders;
}

bool SimFileSystem::hasFile(const std::string& path) const {
  const Node* node = find(path);
  return node != nullptr && !node->folder;
}

std::uint32_t SimFileSystem::attributesOf(const std::string& path) const {
  const Node* node = find(path);
  return node == nullptr ? 0 : node->attributes;
}

std::string SimFileSystem::dump() const {
  std::string text = "files:\n";
  for (const auto& [key, node] : nodes_) {
    text += "  " + key + (node.folder ? "\\" : "") +
            " attributes=" + std::to_string(node.attributes) +
            " size=" + std::to_string(node.bytes.size()) + (node.holders > 0 ? " held" : "") + "\n";
  }
  return text;
}

platform::Handle SimFileSystem::findFirst(const char* pattern, platform::FindEntry& entry) {
  std::string text = absolutePath(pattern);
  std::size_t slash = text.find_last_of("\\/");
  if (slash == std::string::npos) return platform::kNoHandle;
  std::string folderKey = keyOf(text.substr(0, slash));
  std::string mask = text.substr(slash + 1);
  const Node* folder = find(folderKey);
  if (folder == nullptr || !folder->folder || faulty(FileFault::List, folderKey)) {
    return platform::kNoHandle;
  }

  Search search;
  bool isRoot = parentKey(folderKey).empty();
  if (!isRoot) {
    for (const char* dots : {".", ".."}) {
      if (matchesMask(mask, dots)) {
        search.entries.push_back(entryOf(dots, platform::kAttributeDirectory));
      }
    }
  }
  for (const std::string& childKey : folder->children) {
    const Node& child = nodes_.at(childKey);
    if (matchesMask(mask, child.name)) {
      search.entries.push_back(entryOf(child.name, child.attributes));
    }
  }
  if (search.entries.empty()) return platform::kNoHandle;

  entry = search.entries[0];
  search.next = 1;
  platform::Handle handle = handles_.open("search " + text);
  searches_.emplace(handle, std::move(search));
  return handle;
}

bool SimFileSystem::findNext(platform::Handle handle, platform::FindEntry& entry) {
  auto it = searches_.find(handle);
  if (it == searches_.end() || it->second.next >= it->second.entries.size()) return false;
  entry = it->second.entries[it->second.next++];
  return true;
}

void SimFileSystem::findClose(platform::Handle handle) {
  searches_.erase(handle);
  handles_.close(handle);
}

bool SimFileSystem::exists(const char* path) { return find(path) != nullptr; }

bool SimFileSystem::isReadable(const char* path) {
  const Node* node = find(path);
  return node != nullptr && !faulty(FileFault::Open, keyOf(path));
}

platform::Handle SimFileSystem::openForReading(const char* path) {
  std::string key = keyOf(path);
  const Node* node = find(key);
  if (node == nullptr || node->folder || faulty(FileFault::Open, key)) return platform::kNoHandle;
  platform::Handle handle = handles_.open(std::string("file ") + path);
  files_.emplace(handle, OpenFile{key, 0});
  return handle;
}

std::int64_t SimFileSystem::fileLength(platform::Handle handle) {
  auto it = files_.find(handle);
  if (it == files_.end() || faulty(FileFault::Length, it->second.key)) return -1;
  const Node* node = find(it->second.key);
  return node == nullptr ? -1 : static_cast<std::int64_t>(node->bytes.size());
}

bool SimFileSystem::seek(platform::Handle handle, std::uint32_t offset) {
  auto it = files_.find(handle);
  if (it == files_.end()) return false;
  // As with the system's seek, a position past the end is allowed; reads there return nothing.
  it->second.position = offset;
  return true;
}

int SimFileSystem::read(platform::Handle handle, void* buffer, int count) {
  auto it = files_.find(handle);
  if (it == files_.end() || count < 0 || faulty(FileFault::Read, it->second.key)) return -1;
  const Node* node = find(it->second.key);
  if (node == nullptr) return -1;
  std::uint64_t position = it->second.position;
  if (position >= node->bytes.size()) return 0;
  std::size_t available = node->bytes.size() - position;
  std::size_t taken = std::min<std::size_t>(available, static_cast<std::size_t>(count));
  std::memcpy(buffer, node->bytes.data() + position, taken);
  it->second.position += static_cast<std::uint32_t>(taken);
  bytesRead_ += taken;
  return static_cast<int>(taken);
}

void SimFileSystem::closeFile(platform::Handle handle) {
  files_.erase(handle);
  handles_.close(handle);
}

bool SimFileSystem::setAttributes(const char* path, std::uint32_t attributes) {
  std::string key = keyOf(path);
  Node* node = find(key);
  if (node == nullptr || faulty(FileFault::SetAttributes, key)) return false;
  node->attributes = attributes | (node->folder ? platform::kAttributeDirectory : 0);
  return true;
}

void SimFileSystem::detach(const std::string& key) {
  Node& parent = nodes_[parentKey(key)];
  parent.children.erase(std::remove(parent.children.begin(), parent.children.end(), key),
                        parent.children.end());
  nodes_.erase(key);
}

bool SimFileSystem::deleteFile(const char* path) {
  std::string key = keyOf(path);
  Node* node = find(key);
  if (node == nullptr || node->folder || faulty(FileFault::Delete, key)) return false;
  // The system refuses to delete a read-only file or one that is held open.
  if (node->holders > 0 || (node->attributes & platform::kAttributeReadOnly) != 0) return false;
  detach(key);
  return true;
}

bool SimFileSystem::windowsDirectory(char* buffer, std::size_t capacity) {
  return copyOut(windowsDirectory_, buffer, capacity);
}

bool SimFileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  return copyOut(tempDirectory_, buffer, capacity);
}

// Not yet: the removal through one handle.
platform::Handle SimFileSystem::openForRemoval(const char*) { return platform::kNoHandle; }
bool SimFileSystem::identify(platform::Handle, platform::FileIdentity&) { return false; }
bool SimFileSystem::setAttributesOf(platform::Handle, std::uint32_t) { return false; }
bool SimFileSystem::deleteOpenFile(platform::Handle) { return false; }
bool SimFileSystem::moveOpenFile(platform::Handle, const char*) { return false; }
bool SimFileSystem::createProtectedFolder(const char*) { return false; }
bool SimFileSystem::identifyPath(const char*, platform::FileIdentity&) { return false; }
std::uint32_t SimFileSystem::driveType(const char*) { return platform::kDriveFixed; }

}  // namespace sim
