#include "platform/sim/sim_file_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/bounded_text.h"
#include "platform/folder_security.h"

namespace sim {

using platform::OpenFailure;

struct SimFileData {
  std::string bytes;
  std::uint32_t attributes = platform::kAttributeArchive;
  std::uint64_t index = 0;
  int links = 1;      // names that lead to it
  int holders = 0;    // openers that did not share deletion
  int imageMaps = 0;  // running programs whose image it is
};

namespace {

// Links leading to links: past this many the path names nothing, as on the system.
constexpr int kMostLinksFollowed = 32;

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

std::string folderPart(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The components of a normalized key, with "." dropped and ".." taking the one before away
// (never the drive).
std::vector<std::string> componentsOf(const std::string& key) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = key.find('\\', start);
    std::string part =
        key.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part == ".." && parts.size() > 1) {
      parts.pop_back();
    } else if (part != "." && part != ".." && !(part.empty() && !parts.empty())) {
      parts.push_back(part);
    }
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

bool copyOut(const std::string& path, char* buffer, std::size_t capacity) {
  if (capacity == 0) return false;
  if (!text::copy(buffer, capacity, path.c_str())) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

bool sameVolume(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && a[0] != '\\' && a.substr(0, 2) == b.substr(0, 2);
}

}  // namespace

SimFileSystem::SimFileSystem(SimHandles& handles) : handles_(handles) {}

SimFileSystem::~SimFileSystem() = default;

std::string SimFileSystem::absolutePath(const std::string& path) const {
  bool absolute = (path.size() >= 2 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
  return absolute ? path : currentDirectory_ + "\\" + path;
}

std::string SimFileSystem::resolve(const std::string& path, bool followLast) const {
  std::string absolute = absolutePath(path);
  auto drive = driveTypes_.find(static_cast<char>(
      std::toupper(static_cast<unsigned char>(absolute.empty() ? ' ' : absolute[0]))));
  if (absolute.rfind("\\\\", 0) == 0 ||
      (drive != driveTypes_.end() && drive->second == platform::kDriveRemote)) {
    ++remoteLookups_;
  }
  std::vector<std::string> parts = componentsOf(normalizePath(absolute));
  std::string key = parts.empty() ? std::string() : parts[0];
  int followed = 0;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string parent = key;
    key += "\\" + parts[i];
    bool last = i + 1 == parts.size();
    auto it = nodes_.find(key);
    // A name may also be given by its short form, as the system takes it.
    if (it == nodes_.end()) {
      std::string twin = keyOfShortName(parent, parts[i]);
      if (!twin.empty()) it = nodes_.find(key = twin);
    }
    while (it != nodes_.end() && !it->second.linkTarget.empty() && (!last || followLast)) {
      if (++followed > kMostLinksFollowed) return std::string();
      key = resolve(it->second.linkTarget, false);
      it = nodes_.find(key);
    }
  }
  return key;
}

std::string SimFileSystem::keyOfShortName(const std::string& parent,
                                          const std::string& shortName) const {
  auto folder = nodes_.find(parent);
  if (folder == nodes_.end()) return std::string();
  for (const std::string& child : folder->second.children) {
    std::string alternate = shortNameOf(child, nodes_.at(child));
    if (!alternate.empty() && upper(alternate) == shortName) return child;
  }
  return std::string();
}

std::string SimFileSystem::shortNameOf(const std::string& key, const Node& node) const {
  if (!node.alternateName.empty()) return node.alternateName;
  if (!node.exactName || faulty(FileFault::ShortName, key)) return std::string();
  std::string madeUp = madeUpShortName(node.name);
  return madeUp == upper(node.name) ? std::string() : madeUp;
}

void SimFileSystem::setShortName(const std::string& path, const std::string& shortName) {
  Node* node = find(path, false);
  if (node != nullptr) node->alternateName = shortName;
}

SimFileSystem::Node* SimFileSystem::find(const std::string& path, bool followLast) {
  auto it = nodes_.find(resolve(path, followLast));
  return it == nodes_.end() ? nullptr : &it->second;
}

const SimFileSystem::Node* SimFileSystem::find(const std::string& path, bool followLast) const {
  auto it = nodes_.find(resolve(path, followLast));
  return it == nodes_.end() ? nullptr : &it->second;
}

SimFileSystem::Node& SimFileSystem::ensureFolder(const std::string& key, const std::string& path) {
  auto it = nodes_.find(key);
  if (it != nodes_.end()) return it->second;
  std::string parent = parentKey(key);
  if (!parent.empty()) {
    ensureFolder(parent, folderPart(path).empty() ? parent : folderPart(path));
    nodes_[parent].children.push_back(key);
  }
  Node& node = nodes_[key];
  node.name = lastPart(path);
  node.folder = true;
  node.entry = nextEntry_++;
  entryKeys_[node.entry] = key;
  return node;
}

SimFileSystem::Node& SimFileSystem::place(const std::string& path, const std::string& listedName) {
  std::string absolute = absolutePath(path);
  std::string folder = folderPart(absolute);
  std::string parent = resolve(folder);
  ensureFolder(parent, folder);
  std::string key = parent + "\\" + upper(lastPart(absolute));
  auto it = nodes_.find(key);
  if (it == nodes_.end()) {
    nodes_[parent].children.push_back(key);
    Node& node = nodes_[key];
    node.entry = nextEntry_++;
    entryKeys_[node.entry] = key;
    it = nodes_.find(key);
  } else if (it->second.data != nullptr) {
    --it->second.data->links;
    it->second.data.reset();
  }
  Node& node = it->second;
  node.name = listedName;
  node.folder = false;
  node.linkTarget.clear();
  node.exactName = true;
  node.alternateName.clear();
  return node;
}

void SimFileSystem::addFile(const std::string& path, const std::string& bytes,
                            std::uint32_t attributes) {
  Node& node = place(path, lastPart(path));
  node.data = std::make_shared<SimFileData>();
  node.data->bytes = bytes;
  node.data->attributes = attributes;
  node.data->index = nextFileIndex_++;
}

void SimFileSystem::addFolder(const std::string& path, std::uint32_t attributes) {
  std::string absolute = absolutePath(path);
  ensureFolder(resolve(absolute), absolute).folderAttributes =
      attributes | platform::kAttributeDirectory;
}

void SimFileSystem::addJunction(const std::string& path, const std::string& target) {
  Node& node = place(path, lastPart(path));
  node.folder = true;
  node.folderAttributes = platform::kAttributeDirectory | platform::kAttributeReparsePoint;
  node.linkTarget = normalizePath(absolutePath(target));
}

void SimFileSystem::addFileLink(const std::string& path, const std::string& target) {
  Node& node = place(path, lastPart(path));
  node.data = std::make_shared<SimFileData>();
  node.data->attributes = platform::kAttributeArchive | platform::kAttributeReparsePoint;
  node.data->index = nextFileIndex_++;
  node.linkTarget = normalizePath(absolutePath(target));
}

void SimFileSystem::addHardLink(const std::string& path, const std::string& existing) {
  std::shared_ptr<SimFileData> data = find(existing)->data;
  Node& node = place(path, lastPart(path));
  node.data = data;
  ++data->links;
}

std::string SimFileSystem::addFileOutsideTheCodePage(const std::string& folder,
                                                     const std::string& listedName,
                                                     const std::string& shortName,
                                                     const std::string& bytes) {
  // Without a short name the file has no name that a single-byte path can give.
  std::string reachable =
      shortName.empty() ? "\x01unnamed" + std::to_string(++surrogateNames_) : shortName;
  addFile(folder + "\\" + reachable, bytes);
  Node& node = *find(folder + "\\" + reachable);
  node.name = listedName;
  node.exactName = false;
  node.alternateName = shortName;
  return shortName.empty() ? std::string() : folder + "\\" + shortName;
}

void SimFileSystem::rekey(const std::string& from, const std::string& to) {
  std::vector<std::pair<std::string, Node>> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (it->first == from || it->first.rfind(from + "\\", 0) == 0) {
      moved.emplace_back(to + it->first.substr(from.size()), std::move(it->second));
      it = nodes_.erase(it);
    } else {
      ++it;
    }
  }
  Node& oldParent = nodes_[parentKey(from)];
  oldParent.children.erase(std::remove(oldParent.children.begin(), oldParent.children.end(), from),
                           oldParent.children.end());
  for (auto& [key, node] : moved) {
    for (std::string& child : node.children) child = to + child.substr(from.size());
    entryKeys_[node.entry] = key;
    nodes_[key] = std::move(node);
  }
  nodes_[parentKey(to)].children.push_back(to);
}

bool SimFileSystem::rename(const std::string& from, const std::string& to) {
  std::string key = resolve(from, false);
  std::string absolute = absolutePath(to);
  const Node* parent = find(folderPart(absolute));
  if (nodes_.count(key) == 0 || parent == nullptr || !parent->folder) return false;
  std::string target = resolve(folderPart(absolute)) + "\\" + upper(lastPart(absolute));
  if (nodes_.count(target) != 0) return false;
  rekey(key, target);
  nodes_[target].name = lastPart(absolute);
  return true;
}

void SimFileSystem::setDriveType(char letter, std::uint32_t type) {
  driveTypes_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = type;
}

void SimFileSystem::setFolderSecurity(const std::string& path, const std::string& descriptor) {
  folderSecurity_[resolve(path, false)] = descriptor;
}

void SimFileSystem::setAccessLists(char letter, bool kept) {
  char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (kept) {
    drivesWithoutAccessLists_.erase(drive);
  } else {
    drivesWithoutAccessLists_.insert(drive);
  }
}

void SimFileSystem::inject(FileFault fault, const std::string& path) {
  faults_.emplace(fault, resolve(path));
}

bool SimFileSystem::faulty(FileFault fault, const std::string& key) const {
  return faults_.count({fault, key}) != 0;
}

void SimFileSystem::aboutToChange() {
  if (!beforeNextChange_) return;
  std::function<void()> change = std::move(beforeNextChange_);
  beforeNextChange_ = nullptr;
  change();
}

void SimFileSystem::holdOpen(const std::string& path) {
  Node* node = find(path);
  if (node != nullptr && node->data != nullptr) ++node->data->holders;
}

void SimFileSystem::letGo(const std::string& path) {
  Node* node = find(path);
  if (node != nullptr && node->data != nullptr && node->data->holders > 0) --node->data->holders;
}

ImageMapping SimFileSystem::mapImage(const std::string& path) {
  Node* node = find(path);
  if (node == nullptr || node->data == nullptr) return nullptr;
  ++node->data->imageMaps;
  return node->data;
}

void SimFileSystem::unmapImage(ImageMapping& mapping) {
  if (mapping != nullptr && mapping->imageMaps > 0) --mapping->imageMaps;
  mapping.reset();
}

std::string SimFileSystem::keyOfImage(const ImageMapping& mapping) const {
  if (mapping == nullptr) return std::string();
  for (const auto& [key, node] : nodes_) {
    if (node.data == mapping && node.linkTarget.empty()) return key;
  }
  return std::string();
}

bool SimFileSystem::identifyImage(const ImageMapping& mapping,
                                  platform::FileIdentity& identity) const {
  std::string key = keyOfImage(mapping);
  if (key.empty()) return false;
  for (const auto& [handle, file] : files_) {
    if (file.data == mapping && file.forRemoval) return false;
  }
  identity = identityOf(key, *mapping);
  return true;
}

std::string SimFileSystem::pathOfImage(const ImageMapping& mapping) const {
  std::string key = keyOfImage(mapping);
  if (key.empty()) return std::string();
  // Each part of the key up to a backslash names a folder on the way; the whole key, the file.
  std::string path;
  for (std::size_t end = 0;; ++end) {
    end = key.find('\\', end);
    auto it = nodes_.find(key.substr(0, end));
    if (it == nodes_.end()) return std::string();
    const Node& node = it->second;
    const std::string& name = node.exactName ? node.name : node.alternateName;
    if (name.empty()) return std::string();
    path += (path.empty() ? "" : "\\") + name;
    if (end == std::string::npos) return path;
  }
}

bool SimFileSystem::hasFile(const std::string& path) const {
  const Node* node = find(path);
  return node != nullptr && !node->folder;
}

std::string SimFileSystem::contentsOf(const std::string& path) const {
  const Node* node = find(path);
  return node == nullptr || node->data == nullptr ? std::string() : node->data->bytes;
}

std::uint32_t SimFileSystem::attributesOf(const std::string& path) const {
  const Node* node = find(path, false);
  if (node == nullptr) return 0;
  return node->data != nullptr ? node->data->attributes : node->folderAttributes;
}

std::string SimFileSystem::dump() const {
  std::string text = "files:\n";
  for (const auto& [key, node] : nodes_) {
    text += "  " + key + (node.folder ? "\\" : "");
    if (!node.linkTarget.empty()) text += " -> " + node.linkTarget;
    if (node.data != nullptr) {
      const SimFileData& data = *node.data;
      text += " attributes=" + std::to_string(data.attributes) +
              " size=" + std::to_string(data.bytes.size()) +
              " index=" + std::to_string(data.index) +
              (data.links > 1 ? " links=" + std::to_string(data.links) : "") +
              (data.holders > 0 ? " held" : "") + (data.imageMaps > 0 ? " running" : "");
    }
    text += "\n";
  }
  return text;
}

platform::Handle SimFileSystem::findFirst(const char* pattern, platform::FindEntry& entry) {
  std::string text = absolutePath(pattern);
  std::size_t slash = text.find_last_of("\\/");
  if (slash == std::string::npos) return noteOpening(platform::kNoHandle, OpenFailure::kNotFound);
  std::string folderKey = resolve(text.substr(0, slash));
  std::string mask = text.substr(slash + 1);
  auto folder = nodes_.find(folderKey);
  if (folder == nodes_.end() || !folder->second.folder) {
    return noteOpening(platform::kNoHandle, OpenFailure::kNotFound);
  }
  if (faulty(FileFault::List, folderKey)) {
    return noteOpening(platform::kNoHandle, OpenFailure::kOther);
  }

  Search search;
  auto listed = [](const std::string& name, std::uint32_t attributes) {
    platform::FindEntry found;
    found.attributes = attributes;
    text::copy(found.fileName, name.c_str());
    return found;
  };
  if (!parentKey(folderKey).empty()) {
    for (const char* dots : {".", ".."}) {
      if (matchesMask(mask, dots)) {
        search.entries.push_back(listed(dots, platform::kAttributeDirectory));
      }
    }
  }
  for (const std::string& childKey : folder->second.children) {
    const Node& child = nodes_.at(childKey);
    if (!matchesMask(mask, child.name)) continue;
    platform::FindEntry found =
        listed(child.name, child.folder ? child.folderAttributes : child.data->attributes);
    found.exactName = child.exactName;
    text::copy(found.alternateName, shortNameOf(childKey, child).c_str());
    search.entries.push_back(found);
  }
  if (search.entries.empty()) return noteOpening(platform::kNoHandle, OpenFailure::kNotFound);

  entry = search.entries[0];
  search.next = 1;
  platform::Handle handle = handles_.open("search " + text);
  searches_.emplace(handle, std::move(search));
  return noteOpening(handle, OpenFailure::kNone);
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
  return find(path) != nullptr && !faulty(FileFault::Open, resolve(path));
}

platform::Handle SimFileSystem::openNode(const std::string& key, Node& node, bool forRemoval) {
  platform::Handle handle = handles_.open(std::string("file ") + key);
  files_.emplace(handle, OpenFile{node.entry, node.data, 0, forRemoval});
  return handle;
}

platform::Handle SimFileSystem::openForReading(const char* path) {
  std::string key = resolve(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return noteOpening(platform::kNoHandle, OpenFailure::kNotFound);
  if (faulty(FileFault::InUse, key)) return noteOpening(platform::kNoHandle, OpenFailure::kInUse);
  if (it->second.folder || faulty(FileFault::Open, key)) {
    return noteOpening(platform::kNoHandle, OpenFailure::kOther);
  }
  return noteOpening(openNode(key, it->second, false), OpenFailure::kNone);
}

SimFileSystem::OpenFile* SimFileSystem::opened(platform::Handle handle) {
  auto it = files_.find(handle);
  return it == files_.end() ? nullptr : &it->second;
}

std::string SimFileSystem::keyOfEntry(std::uint64_t entry) const {
  auto it = entryKeys_.find(entry);
  return it == entryKeys_.end() ? std::string() : it->second;
}

std::int64_t SimFileSystem::fileLength(platform::Handle handle) {
  OpenFile* file = opened(handle);
  if (file == nullptr || faulty(FileFault::Length, keyOfEntry(file->entry))) return -1;
  return static_cast<std::int64_t>(file->data->bytes.size());
}

bool SimFileSystem::seek(platform::Handle handle, std::uint32_t offset) {
  OpenFile* file = opened(handle);
  if (file == nullptr) return false;
  // As with the system's seek, a position past the end is allowed; reads there return nothing.
  file->position = offset;
  return true;
}

int SimFileSystem::read(platform::Handle handle, void* buffer, int count) {
  OpenFile* file = opened(handle);
  if (file == nullptr || count < 0 || faulty(FileFault::Read, keyOfEntry(file->entry))) return -1;
  const std::string& bytes = file->data->bytes;
  std::uint64_t position = file->position;
  if (position >= bytes.size()) return 0;
  std::size_t taken =
      std::min<std::size_t>(bytes.size() - position, static_cast<std::size_t>(count));
  std::memcpy(buffer, bytes.data() + position, taken);
  file->position += static_cast<std::uint32_t>(taken);
  bytesRead_ += taken;
  return static_cast<int>(taken);
}

void SimFileSystem::closeFile(platform::Handle handle) {
  files_.erase(handle);
  handles_.close(handle);
}

bool SimFileSystem::setAttributes(const char* path, std::uint32_t attributes) {
  aboutToChange();
  std::string key = resolve(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || faulty(FileFault::SetAttributes, key)) return false;
  Node& node = it->second;
  if (node.folder) {
    node.folderAttributes = attributes | platform::kAttributeDirectory;
  } else {
    node.data->attributes = attributes;
  }
  return true;
}

void SimFileSystem::detach(const std::string& key) {
  Node& parent = nodes_[parentKey(key)];
  parent.children.erase(std::remove(parent.children.begin(), parent.children.end(), key),
                        parent.children.end());
  auto it = nodes_.find(key);
  if (it->second.data != nullptr) --it->second.data->links;
  entryKeys_.erase(it->second.entry);
  nodes_.erase(it);
}

bool SimFileSystem::deleteFile(const char* path) {
  aboutToChange();
  std::string key = resolve(path, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.folder || faulty(FileFault::Delete, key)) return false;
  const SimFileData& data = *it->second.data;
  // The system refuses to delete a read-only file, one held open, and a running image.
  if (data.holders > 0 || data.imageMaps > 0 ||
      (data.attributes & platform::kAttributeReadOnly) != 0) {
    return false;
  }
  detach(key);
  return true;
}

platform::Handle SimFileSystem::openForRemoval(const char* path) {
  if (!ntFamily_) return noteOpening(platform::kNoHandle, OpenFailure::kOther);
  std::string key = resolve(path, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end()) return noteOpening(platform::kNoHandle, OpenFailure::kNotFound);
  if (faulty(FileFault::InUse, key) || (!it->second.folder && it->second.data->holders > 0)) {
    return noteOpening(platform::kNoHandle, OpenFailure::kInUse);
  }
  if (it->second.folder || faulty(FileFault::Open, key) || faulty(FileFault::Delete, key)) {
    return noteOpening(platform::kNoHandle, OpenFailure::kOther);
  }
  return noteOpening(openNode(key, it->second, true), OpenFailure::kNone);
}

platform::FileIdentity SimFileSystem::identityOf(const std::string& key,
                                                 const SimFileData& data) const {
  platform::FileIdentity identity;
  // One volume a drive; a file that has no name any more keeps the volume it had.
  char drive = key.empty() ? 'C' : key[0];
  identity.volumeSerial = 0x5A000000u + static_cast<std::uint8_t>(drive);
  identity.fileIndex = data.index;
  identity.links = static_cast<std::uint32_t>(data.links);
  identity.attributes = data.attributes;
  return identity;
}

bool SimFileSystem::identify(platform::Handle handle, platform::FileIdentity& identity) {
  OpenFile* file = opened(handle);
  if (file == nullptr) return false;
  identity = identityOf(keyOfEntry(file->entry), *file->data);
  return true;
}

bool SimFileSystem::setAttributesOf(platform::Handle handle, std::uint32_t attributes) {
  OpenFile* file = opened(handle);
  if (file == nullptr || !file->forRemoval) return false;
  aboutToChange();
  if (faulty(FileFault::SetAttributes, keyOfEntry(file->entry))) return false;
  file->data->attributes = attributes | (file->data->attributes & platform::kAttributeReparsePoint);
  return true;
}

bool SimFileSystem::deleteOpenFile(platform::Handle handle) {
  OpenFile* file = opened(handle);
  if (file == nullptr || !file->forRemoval) return false;
  aboutToChange();
  std::string key = keyOfEntry(file->entry);
  if (key.empty()) return true;  // already deleted through another handle
  const SimFileData& data = *file->data;
  if (faulty(FileFault::Delete, key) || data.imageMaps > 0 ||
      (data.attributes & platform::kAttributeReadOnly) != 0) {
    return false;
  }
  detach(key);
  return true;
}

bool SimFileSystem::moveOpenFile(platform::Handle handle, const char* newPath) {
  OpenFile* file = opened(handle);
  if (file == nullptr || !file->forRemoval) return false;
  aboutToChange();
  std::string key = keyOfEntry(file->entry);
  std::string absolute = absolutePath(newPath);
  const Node* parent = find(folderPart(absolute));
  if (key.empty() || faulty(FileFault::Move, key) || parent == nullptr || !parent->folder) {
    return false;
  }
  std::string target = resolve(folderPart(absolute)) + "\\" + upper(lastPart(absolute));
  if (nodes_.count(target) != 0 || !sameVolume(key, target)) return false;
  rekey(key, target);
  Node& node = nodes_[target];
  node.name = lastPart(absolute);
  node.exactName = true;
  node.alternateName.clear();
  return true;
}

bool SimFileSystem::createProtectedFolder(const char* path) {
  std::string absolute = absolutePath(path);
  const Node* parent = find(folderPart(absolute));
  if (parent == nullptr || !parent->folder || find(absolute) != nullptr) return false;
  addFolder(absolute);
  protectedFolders_.push_back(absolute);
  return true;
}

platform::EntryRemoval SimFileSystem::entryRemoval(const char* folder) {
  // The folder itself, never what a link at its name leads to.
  std::string key = resolve(folder, false);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || !it->second.folder || !it->second.linkTarget.empty() ||
      faulty(FileFault::Security, key)) {
    return platform::EntryRemoval::kUnknown;
  }
  char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
  if (drivesWithoutAccessLists_.count(drive) != 0) return platform::EntryRemoval::kNoAccessLists;
  auto descriptor = folderSecurity_.find(key);
  if (descriptor == folderSecurity_.end()) return platform::EntryRemoval::kAdministratorsOnly;
  const auto* own = reinterpret_cast<const std::uint8_t*>(ownAccount_.data());
  return platform::entryRemovalFromDescriptor(
      reinterpret_cast<const std::uint8_t*>(descriptor->second.data()), descriptor->second.size(),
      {ownAccount_.empty() ? nullptr : own, ownAccount_.size()});
}

bool SimFileSystem::identifyPath(const char* path, platform::FileIdentity& identity) {
  std::string key = resolve(path);
  auto it = nodes_.find(key);
  if (it == nodes_.end() || it->second.folder || faulty(FileFault::Open, key)) return false;
  identity = identityOf(key, *it->second.data);
  return true;
}

std::uint32_t SimFileSystem::driveType(const char* root) {
  if (root[0] == '\\' && root[1] == '\\') return platform::kDriveRemote;
  if (root[0] == '\0' || root[1] != ':') return platform::kDriveUnknown;
  auto it = driveTypes_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
  return it == driveTypes_.end() ? platform::kDriveFixed : it->second;
}

bool SimFileSystem::windowsDirectory(char* buffer, std::size_t capacity) {
  return copyOut(windowsDirectory_, buffer, capacity);
}

bool SimFileSystem::systemDirectory(char* buffer, std::size_t capacity) {
  return copyOut(systemDirectory_, buffer, capacity);
}

bool SimFileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  return copyOut(tempDirectory_, buffer, capacity);
}

}  // namespace sim
