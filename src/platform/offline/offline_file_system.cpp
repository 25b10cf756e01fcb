#include "platform/offline/offline_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

#include "common/bounded_text.h"
#include "platform/offline/name_mask.h"
#include "platform/offline/short_name.h"
#include "platform/offline/utf16_length.h"

namespace platform::offline {

// One reading of a folder, its entries kept as they are read, so that a second search of the
// folder need not read it again. Its descriptor is the folder's while it lives: the tree opens
// the folder's files through it, and a file opened for removal keeps it to remove the file by.
struct OfflineFileSystem::Listed {
  FolderListing listing;
  std::string relative;
  struct Entry {
    std::string name;
    EntryKind kind;
    bool cut;
  };
  std::vector<Entry> entries;
  bool complete = false;
  // Real removals made before it was read: a listing read before a removal is not reused.
  std::uint64_t removalsBefore = 0;
  bool identified = false;
  dev_t folderDevice = 0;
  ino_t folderInode = 0;
};

struct OfflineFileSystem::Search {
  std::shared_ptr<Listed> listed;
  std::size_t next = 0;
  std::string mask;
  bool everything = false;
};

struct OfflineFileSystem::OpenFile {
  ScopedFd file;
  std::int64_t position = 0;
  off_t length = 0;
  // For removal: the folder the file was found in and its name there, so that removing it
  // resolves no path again. The folder's descriptor is a listing's (kept alive here) or one of
  // its own.
  std::shared_ptr<Listed> listing;
  ScopedFd ownFolder;
  int folder = -1;
  // The name the file was opened by in its folder, and its short form when that is the file's
  // second link (see namesOf).
  std::string name;
  char shortName[kShortNameCapacity] = {};
};

namespace {

constexpr std::size_t kLongestWindowsName = 255;

// Windows keeps none of these in a name, nor more than 255 UTF-16 units. Joined to its folder, a
// name with a backslash names another file; the others could not have been made by the system
// the installation runs.
bool canBeWindowsName(const char* name) {
  if (utf16Length(name) > kLongestWindowsName) return false;
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
    const char* start = at;
    while (*at != '\0' && *at != '\\') ++at;
    auto length = static_cast<std::size_t>(at - start);
    if (length == 0) break;
    if (start[0] == '.' && (length == 1 || (length == 2 && start[1] == '.'))) return false;
    if (!relative.empty()) relative += '\\';
    relative.append(start, length);
  }
  return true;
}

OfflineFileSystem::OfflineFileSystem(RootedTree& tree, const Installation& installation)
    : tree_(tree), installation_(installation) {}

OfflineFileSystem::~OfflineFileSystem() = default;

std::shared_ptr<OfflineFileSystem::Listed> OfflineFileSystem::listingOf(
    const std::string& relative) {
  if (lastComplete_ && lastComplete_->relative == relative &&
      lastComplete_->removalsBefore == removals_) {
    return lastComplete_;
  }
  auto listed = std::make_shared<Listed>();
  if (!listed->listing.open(tree_, relative.c_str())) return nullptr;
  listed->relative = relative;
  listed->removalsBefore = removals_;
  live_.erase(std::remove_if(live_.begin(), live_.end(),
                             [](const std::weak_ptr<Listed>& l) { return l.expired(); }),
              live_.end());
  live_.push_back(listed);
  return listed;
}

bool OfflineFileSystem::hiddenIn(Listed& listed, const std::string& name) {
  if (hidden_.empty()) return false;
  if (!listed.identified) {
    struct stat status;
    if (fstat(listed.listing.descriptor(), &status) != 0) return false;
    listed.folderDevice = status.st_dev;
    listed.folderInode = status.st_ino;
    listed.identified = true;
  }
  return hidden_.count(HiddenFile(listed.folderDevice, listed.folderInode, name)) != 0;
}

bool OfflineFileSystem::nextMatch(Search& search, FindEntry& entry) {
  Listed& listed = *search.listed;
  for (;; ++search.next) {
    if (search.next == listed.entries.size()) {
      if (listed.complete) return false;
      TreeEntry read;
      if (!listed.listing.next(read)) {
        // A listing that failed on the way is not reused: its end was not reached.
        if (errno == 0) listed.complete = true;
        return false;
      }
      listed.entries.push_back({read.name, read.kind, read.cut});
    }
    const Listed::Entry& found = listed.entries[search.next];
    if (!search.everything && !matchesMask(search.mask.c_str(), found.name.c_str())) continue;
    if (hiddenIn(listed, found.name)) continue;
    entry = FindEntry();
    entry.attributes = attributesOf(found.kind);
    // A name cut anywhere on its way would lead to another file, or to none.
    bool whole = text::copy(entry.fileName, found.name.c_str()) && !found.cut;
    entry.exactName = whole && canBeWindowsName(found.name.c_str());
    ++search.next;
    return true;
  }
}

Handle OfflineFileSystem::noteOpening(Handle handle) {
  if (handle != kNoHandle) {
    lastOpenFailure_ = OpenFailure::kNone;
  } else if (errno == ENOENT || errno == ENOTDIR || errno == 0) {
    // A look-up that read its folder to the end without finding the name leaves no error.
    lastOpenFailure_ = OpenFailure::kNotFound;
  } else {
    // Refused, a link, a descriptor or memory limit met, a damaged folder: not "nothing there".
    lastOpenFailure_ = OpenFailure::kOther;
  }
  return handle;
}

std::size_t OfflineFileSystem::pathLength(const char* path) { return utf16Length(path); }

Handle OfflineFileSystem::findFirst(const char* pattern, FindEntry& entry) {
  errno = ENOENT;
  const char* separator = pattern != nullptr ? std::strrchr(pattern, '\\') : nullptr;
  if (separator == nullptr || separator[1] == '\0') return noteOpening(kNoHandle);
  std::string relative;
  if (!relativeToDriveC(std::string(pattern, separator).c_str(), relative)) {
    return noteOpening(kNoHandle);
  }

  auto search = std::make_unique<Search>();
  search->listed = listingOf(relative);
  if (!search->listed) return noteOpening(kNoHandle);
  search->mask = separator + 1;
  search->everything = matchesEveryName(search->mask.c_str());
  if (!nextMatch(*search, entry)) {
    findCloseListing(std::move(search->listed));
    errno = ENOENT;
    return noteOpening(kNoHandle);
  }
  Handle handle = nextHandle();
  searches_.emplace(handle, std::move(search));
  return noteOpening(handle);
}

bool OfflineFileSystem::findNext(Handle search, FindEntry& entry) {
  auto it = searches_.find(search);
  return it != searches_.end() && nextMatch(*it->second, entry);
}

void OfflineFileSystem::findClose(Handle search) {
  auto it = searches_.find(search);
  if (it == searches_.end()) return;
  findCloseListing(std::move(it->second->listed));
  searches_.erase(it);
}

void OfflineFileSystem::findCloseListing(std::shared_ptr<Listed> listed) {
  if (listed && listed->complete) lastComplete_ = std::move(listed);
}

bool OfflineFileSystem::resolveParent(const char* path, int& folder, std::string& name,
                                      std::string* folderPath) {
  std::string relative;
  if (!relativeToDriveC(path, relative) || relative.empty()) return false;
  std::string parent;
  splitLast(relative, parent, name);
  folder = tree_.folder(parent.c_str());
  if (folderPath != nullptr) *folderPath = std::move(parent);
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
  std::string folderPath;
  if (!resolveParent(path, folder, name, &folderPath)) return kNoHandle;
  auto opened = std::make_unique<OpenFile>();
  if (forRemoval) {
    // The folder's descriptor must outlive whatever lent it: a listing of the folder still in
    // use is kept for as long as the file is open, else the file has a descriptor of its own.
    for (const std::weak_ptr<Listed>& candidate : live_) {
      std::shared_ptr<Listed> listed = candidate.lock();
      if (listed && listed->relative == folderPath && listed->listing.descriptor() == folder) {
        opened->listing = std::move(listed);
        break;
      }
    }
    if (!opened->listing) {
      opened->ownFolder.reset(fcntl(folder, F_DUPFD_CLOEXEC, 0));
      if (!opened->ownFolder) return kNoHandle;
      folder = opened->ownFolder.get();
    }
    opened->folder = folder;
  }
  FileIdentity identity;
  opened->file = tree_.openFileIn(folder, name.c_str(), identity, &opened->name, &opened->length);
  if (!opened->file) return kNoHandle;
  Handle handle = nextHandle();
  files_.emplace(handle, std::move(opened));
  return handle;
}

Handle OfflineFileSystem::openForReading(const char* path) {
  errno = ENOENT;
  return noteOpening(openFile(path, false));
}

Handle OfflineFileSystem::openForRemoval(const char* path) {
  errno = ENOENT;
  return noteOpening(openFile(path, true));
}

OfflineFileSystem::OpenFile* OfflineFileSystem::fileFor(Handle file) {
  auto it = files_.find(file);
  return it != files_.end() ? it->second.get() : nullptr;
}

// The length the file had when it was opened: nothing writes to the installation while it is
// mounted here for the rescue, and the reads that follow are bounded by what they get.
std::int64_t OfflineFileSystem::fileLength(Handle file) {
  OpenFile* opened = fileFor(file);
  return opened != nullptr ? static_cast<std::int64_t>(opened->length) : -1;
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
  // A long name and its short form are one name to Windows, and go together.
  identity.links = static_cast<std::uint32_t>(
      namesOf(opened->file.get(), status.st_nlink, opened->name.c_str(), opened->shortName));
  return true;
}

bool OfflineFileSystem::deleteOpenFile(Handle file) {
  OpenFile* opened = fileFor(file);
  if (opened == nullptr || opened->folder < 0) return false;
  struct stat open, named;
  if (fstat(opened->file.get(), &open) != 0 ||
      fstatat(opened->folder, opened->name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(named.st_mode) || named.st_dev != open.st_dev || named.st_ino != open.st_ino) {
    return false;
  }
  if (dryRun_) {
    struct stat folder;
    if (fstat(opened->folder, &folder) != 0) return false;
    hidden_.emplace(folder.st_dev, folder.st_ino, opened->name);
    return true;
  }
  if (unlinkat(opened->folder, opened->name.c_str(), 0) != 0) return false;
  ++removals_;
  // ntfs-3g takes a long name's short form with it. Should the short form outlive it, the file
  // is still there to be started by that name: not removed.
  struct stat left;
  return opened->shortName[0] == '\0' ||
         fstatat(opened->folder, opened->shortName, &left, AT_SYMLINK_NOFOLLOW) != 0 ||
         left.st_dev != open.st_dev || left.st_ino != open.st_ino;
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

bool OfflineFileSystem::systemDirectory(char* buffer, std::size_t capacity) {
  if (installation_.windowsFolder.empty()) return putNothing(buffer, capacity);
  // Spelt as the system spells it; names below the root match without regard to case.
  const char* system = installation_.kind == InstallationKind::kWindows9x ? "SYSTEM" : "system32";
  return putWhole(buffer, capacity, displayPath(installation_.windowsFolder) + "\\" + system);
}

bool OfflineFileSystem::tempDirectory(char* buffer, std::size_t capacity) {
  if (installation_.windowsFolder.empty()) return putNothing(buffer, capacity);
  // As the system names a temporary folder that is not there yet: the walk then lists nothing.
  std::string temp = !installation_.windowsTemp.empty() ? installation_.windowsTemp
                                                        : installation_.windowsFolder + "\\Temp";
  return putWhole(buffer, capacity, displayPath(temp) + "\\");
}

}  // namespace platform::offline
