#include "platform/offline/offline_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/bounded_text.h"
#include "platform/offline/name_mask.h"

namespace platform::offline {

struct OfflineFileSystem::Search {
  FolderListing listing;
  std::string mask;
  bool everything = false;
  // Set in a dry run that has removed something: the folder, to leave out what it removed.
  bool leavesOutHidden = false;
  dev_t folderDevice = 0;
  ino_t folderInode = 0;
};

struct OfflineFileSystem::OpenFile {
  ScopedFd file;
  std::int64_t position = 0;
  // For removal: the folder the file was found in and its name there, so that removing it
  // resolves no path again.
  ScopedFd folder;
  std::string name;
};

namespace {

// Windows keeps none of these in a name. Joined to its folder, a name with a backslash names
// another file; the others could not have been made by the system the installation runs.
bool canBeWindowsName(const char* name) {
  for (const char* c = name; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || std::strchr("\"*/:<>?\\|", *c) != nullptr) {
      return false;
    }
  }
  return true;
}

std::uint32_t attributesOf(EntryKind kind) {
  switch (kind) {
    case EntryKind::kFolder:
      return kAttributeDirectory;
    case EntryKind::kLink:
      return kAttributeReparsePoint;
    default:
      return kAttributeNormal;
  }
}

// The volume serial a device number stands for: both halves folded into 32 bits.
std::uint32_t volumeOf(dev_t device) {
  auto wide = static_cast<std::uint64_t>(device);
  return static_cast<std::uint32_t>(wide ^ (wide >> 32));
}

void describeFile(const struct stat& status, platform::FileIdentity& identity) {
  identity.volumeSerial = volumeOf(status.st_dev);
  identity.fileIndex = static_cast<std::uint64_t>(status.st_ino);
  identity.links = static_cast<std::uint32_t>(status.st_nlink);
  identity.attributes = S_ISDIR(status.st_mode) ? kAttributeDirectory : kAttributeNormal;
}

// Copies `text` whole, or leaves the buffer empty and fails.
bool putWhole(char* buffer, std::size_t capacity, const std::string& text) {
  if (capacity == 0) return false;
  if (text.size() >= capacity) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// Leaves the buffer empty, and fails.
bool putNothing(char* buffer, std::size_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return false;
}

void splitLast(const std::string& relative, std::string& folder, std::string& name) {
  std::size_t separator = relative.rfind('\\');
  folder = separator == std::string::npos ? std::string() : relative.substr(0, separator);
  name = separator == std::string::npos ? relative : relative.substr(separator + 1);
}

}  // namespace

bool relativeToDriveC(const char* path, std::string& relative) {
  relative.clear();
  if (path == nullptr || (path[0] != 'C' && path[0] != 'c') || path[1] != ':') return false;
  if (path[2] != '\0' && path[2] != '\\') return false;
  // Empty components are passed over, as the system passes over doubled backslashes (the
  // temporary path ends in one, and the scan appends "\*.*" to it).
  for (const char* at = path + 2; *at != '\0';) {
    while (*at == '\\') ++at;
    const char* end = std::strchr(at, '\\');
    std::size_t length = end != nullptr ? static_cast<std::size_t>(end - at) : std::strlen(at);
    if (length == 0) break;
    std::string component(at, length);
    if (component == "." || component == "..") return false;
    if (!relative.empty()) relative += '\\';
    relative += component;
    at += length;
  }
  return true;
}

OfflineFileSystem::OfflineFileSystem(RootedTree& tree, const Installation& installation)
    : tree_(tree), installation_(installation) {}

OfflineFileSystem::~OfflineFileSystem() = default;

bool OfflineFileSystem::nextMatch(Search& search, FindEntry& entry) {
  TreeEntry found;
  while (search.listing.next(found)) {
    if (!search.everything && !matchesMask(search.mask.c_str(), found.name)) continue;
    if (search.leavesOutHidden &&
        hidden_.count(HiddenFile(search.folderDevice, search.folderInode, found.name)) != 0) {
      continue;
    }
    entry = FindEntry();
    entry.attributes = attributesOf(found.kind);
    text::copy(entry.fileName, found.name);
    entry.exactName = canBeWindowsName(found.name);
    return true;
  }
  return false;
}

Handle OfflineFileSystem::findFirst(const char* pattern, FindEntry& entry) {
  const char* separator = pattern != nullptr ? std::strrchr(pattern, '\\') : nullptr;
  if (separator == nullptr || separator[1] == '\0') return kNoHandle;
  std::string relative;
  if (!relativeToDriveC(std::string(pattern, separator).c_str(), relative)) return kNoHandle;

  auto search = std::make_unique<Search>();
  search->mask = separator + 1;
  search->everything = matchesEveryName(search->mask.c_str());
  if (!search->listing.open(tree_, relative.c_str())) return kNoHandle;
  if (!hidden_.empty()) {
    // The listing has lent its descriptor to the tree, which gives it back for its path.
    struct stat status;
    int folder = tree_.folder(relative.c_str());
    if (folder < 0 || fstat(folder, &status) != 0) return kNoHandle;
    search->leavesOutHidden = true;
    search->folderDevice = status.st_dev;
    search->folderInode = status.st_ino;
  }
  if (!nextMatch(*search, entry)) return kNoHandle;
  Handle handle = nextHandle();
  searches_.emplace(handle, std::move(search));
  return handle;
}

bool OfflineFileSystem::findNext(Handle search, FindEntry& entry) {
  auto it = searches_.find(search);
  return it != searches_.end() && nextMatch(*it->second, entry);
}

void OfflineFileSystem::findClose(Handle search) { searches_.erase(search); }

bool OfflineFileSystem::resolveParent(const char* path, int& folder, std::string& name) {
  std::string relative;
  if (!relativeToDriveC(path, relative) || relative.empty()) return false;
  std::string folderPath;
  splitLast(relative, folderPath, name);
  folder = tree_.folder(folderPath.c_str());
  return folder >= 0;
}

bool OfflineFileSystem::exists(const char* path) {
  std::string relative;
  if (relativeToDriveC(path, relative) && relative.empty()) return true;
  int folder = -1;
  std::string name;
  TreeEntry entry;
  return resolveParent(path, folder, name) && tree_.find(folder, name.c_str(), entry);
}

bool OfflineFileSystem::isReadable(const char* path) {
  int folder = -1;
  std::string name;
  FileIdentity identity;
  return resolveParent(path, folder, name) &&
         tree_.openFileIn(folder, name.c_str(), identity).valid();
}

Handle OfflineFileSystem::openFile(const char* path, bool forRemoval) {
  int folder = -1;
  std::string name;
  if (!resolveParent(path, folder, name)) return kNoHandle;
  auto opened = std::make_unique<OpenFile>();
  if (forRemoval) {
    // A descriptor of its own: the tree's may be closed, or serve another path, by then.
    opened->folder.reset(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!opened->folder) return kNoHandle;
    folder = opened->folder.get();
  }
  FileIdentity identity;
  opened->file =
      tree_.openFileIn(folder, name.c_str(), identity, forRemoval ? &opened->name : nullptr);
  if (!opened->file) return kNoHandle;
  Handle handle = nextHandle();
  files_.emplace(handle, std::move(opened));
  return handle;
}

Handle OfflineFileSystem::openForReading(const char* path) { return openFile(path, false); }

Handle OfflineFileSystem::openForRemoval(const char* path) { return openFile(path, true); }

OfflineFileSystem::OpenFile* OfflineFileSystem::fileFor(Handle file) {
  auto it = files_.find(file);
  return it != files_.end() ? it->second.get() : nullptr;
}

std::int64_t OfflineFileSystem::fileLength(Handle file) {
  OpenFile* opened = fileFor(file);
  struct stat status;
  if (opened == nullptr || fstat(opened->file.get(), &status) != 0) return -1;
  return static_cast<std::int64_t>(status.st_size);
}

bool OfflineFileSystem::seek(Handle file, std::uint32_t offset) {
  OpenFile* opened = fileFor(file);
  if (opened == nullptr) return false;
  opened->position = offset;
  return true;
}

int OfflineFileSystem::read(Handle file, void* buffer, int count) {
  OpenFile* opened = fileFor(file);
  if (opened == nullptr || count < 0) return -1;
  ssize_t got;
  do {
    got = pread(opened->file.get(), buffer, static_cast<std::size_t>(count), opened->position);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return -1;
  opened->position += got;
  return static_cast<int>(got);
}

void OfflineFileSystem::closeFile(Handle file) { files_.erase(file); }

bool OfflineFileSystem::setAttributes(const char* path, std::uint32_t) { return exists(path); }

bool OfflineFileSystem::setAttributesOf(Handle file, std::uint32_t) {
  return fileFor(file) != nullptr;
}

bool OfflineFileSystem::deleteFile(const char*) { return false; }

bool OfflineFileSystem::identify(Handle file, platform::FileIdentity& identity) {
  OpenFile* opened = fileFor(file);
  struct stat status;
  if (opened == nullptr || fstat(opened->file.get(), &status) != 0) return false;
  describeFile(status, identity);
  return true;
}

bool OfflineFileSystem::deleteOpenFile(Handle file) {
  OpenFile* opened = fileFor(file);
  if (opened == nullptr || !opened->folder) return false;
  struct stat open, named;
  if (fstat(opened->file.get(), &open) != 0 ||
      fstatat(opened->folder.get(), opened->name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(named.st_mode) || named.st_dev != open.st_dev || named.st_ino != open.st_ino) {
    return false;
  }
  if (dryRun_) {
    struct stat folder;
    if (fstat(opened->folder.get(), &folder) != 0) return false;
    hidden_.emplace(folder.st_dev, folder.st_ino, opened->name);
    return true;
  }
  return unlinkat(opened->folder.get(), opened->name.c_str(), 0) == 0;
}

bool OfflineFileSystem::moveOpenFile(Handle, const char*) { return false; }

bool OfflineFileSystem::createProtectedFolder(const char*) { return false; }

bool OfflineFileSystem::deleteAtRestart(const char*) { return false; }

bool OfflineFileSystem::shortPathName(const char*, char* buffer, std::size_t capacity) {
  return putNothing(buffer, capacity);
}

bool OfflineFileSystem::readProfileSection(const char*, const char*, char* buffer,
                                           std::size_t capacity, std::size_t& used) {
  used = 0;
  return putNothing(buffer, capacity);
}

bool OfflineFileSystem::writeProfileSection(const char*, const char*, const char*) { return false; }

bool OfflineFileSystem::identifyPath(const char* path, platform::FileIdentity& identity) {
  int folder = -1;
  std::string name;
  TreeEntry entry;
  if (!resolveParent(path, folder, name) || !tree_.find(folder, name.c_str(), entry) ||
      entry.kind == EntryKind::kLink) {
    return false;
  }
  struct stat status;
  if (fstatat(folder, entry.name, &status, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(status.st_mode)) {
    return false;
  }
  describeFile(status, identity);
  return true;
}

std::uint32_t OfflineFileSystem::driveType(const char* root) {
  if (root == nullptr) return kDriveUnknown;
  return text::equalsIgnoringCase(root, "C:\\") || text::equalsIgnoringCase(root, "C:")
             ? kDriveFixed
             : kDriveUnknown;
}

bool OfflineFileSystem::windowsDirectory(char* buffer, std::size_t capacity) {
  if (installation_.windowsFolder.empty()) return putNothing(buffer, capacity);
  return putWhole(buffer, capacity, displayPath(installation_.windowsFolder));
}

bool OfflineFileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  if (installation_.windowsFolder.empty()) return putNothing(buffer, capacity);
  // As the system names a temporary folder that is not there yet: the walk then lists nothing.
  std::string temp = !installation_.windowsTemp.empty() ? installation_.windowsTemp
                                                        : installation_.windowsFolder + "\\Temp";
  return putWhole(buffer, capacity, displayPath(temp) + "\\");
}

}  // namespace platform::offline
