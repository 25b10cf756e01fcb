#include "platform/offline/rooted_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "common/bounded_text.h"

namespace platform::offline {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Non-blocking and without a controlling terminal, so that opening whatever was planted under a
// regular file's name can neither hang nor take the terminal.
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

EntryKind kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (S_ISREG(mode)) return EntryKind::kRegularFile;
  if (S_ISLNK(mode)) return EntryKind::kLink;
  return EntryKind::kOther;
}

EntryKind kindOf(int folder, unsigned char type, const char* name) {
  switch (type) {
    case DT_DIR:
      return EntryKind::kFolder;
    case DT_REG:
      return EntryKind::kRegularFile;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_UNKNOWN: {
      struct stat status;
      if (fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::kOther;
      return kindOf(status.st_mode);
    }
    default:
      return EntryKind::kOther;
  }
}

// Splits `relative` at its last backslash: the folder part (empty for the root) and the name.
void splitLast(const char* relative, std::string& folder, const char*& name) {
  const char* separator = std::strrchr(relative, '\\');
  if (separator == nullptr) {
    folder.clear();
    name = relative;
  } else {
    folder.assign(relative, static_cast<std::size_t>(separator - relative));
    name = separator + 1;
  }
}

}  // namespace

const char* describe(TreeError error) {
  switch (error) {
    case TreeError::kNone:
      return "no error";
    case TreeError::kNotFound:
      return "not found";
    case TreeError::kNotAFolder:
      return "not a folder";
    case TreeError::kNotARegularFile:
      return "not a regular file";
    case TreeError::kLink:
      return "a symbolic link, not followed";
    case TreeError::kAmbiguous:
      return "more than one entry has that name in some letter case";
    case TreeError::kBadName:
      return "not an acceptable name";
    case TreeError::kSystem:
      return "refused by the system";
  }
  return "unknown error";
}

bool isAcceptableName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  if (std::strchr(name, '/') != nullptr) return false;
  return std::strlen(name) < kNameCapacity;
}

FolderListing::~FolderListing() { close(); }

void FolderListing::close() {
  if (lentTo_ != nullptr) lentTo_->giveBack(path_, folder_.get());
  lentTo_ = nullptr;
  folder_.reset();
  used_ = 0;
  at_ = 0;
}

bool FolderListing::open(int folderFd) {
  close();
  // An open of its own: a duplicate would share its position with the caller's descriptor.
  folder_.reset(openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder_) return false;
  if (!block_) block_.reset(new unsigned char[kBlockSize]);
  return true;
}

bool FolderListing::open(RootedTree& tree, const char* relative) {
  close();
  std::string parent;
  const char* name = nullptr;
  splitLast(relative != nullptr ? relative : "", parent, name);
  if (name[0] == '\0' && parent.empty()) return open(tree.rootFd());
  int parentFd = tree.folder(parent.c_str());
  if (parentFd < 0) return false;
  // Opened from its parent, not taken from the tree's cache: a descriptor of its own.
  folder_ = tree.openChildFolder(parentFd, name);
  if (!folder_) return false;
  if (!block_) block_.reset(new unsigned char[kBlockSize]);
  path_ = relative;
  lentTo_ = &tree;
  tree.lend(path_, folder_.get());
  return true;
}

bool FolderListing::next(TreeEntry& entry) {
  if (!folder_) return false;
  for (;;) {
    if (at_ >= used_) {
      ssize_t got = getdents64(folder_.get(), block_.get(), kBlockSize);
      if (got <= 0) {
        if (got == 0) errno = 0;
        return false;
      }
      used_ = static_cast<std::size_t>(got);
      at_ = 0;
    }
    struct dirent64 record;
    std::size_t header = offsetof(struct dirent64, d_name);
    if (used_ - at_ < header) {
      errno = EIO;
      return false;
    }
    std::memcpy(&record, block_.get() + at_, header);
    if (record.d_reclen <= header || record.d_reclen > used_ - at_) {
      errno = EIO;
      return false;
    }
    const char* name = reinterpret_cast<const char*>(block_.get() + at_ + header);
    std::size_t room = record.d_reclen - header;
    at_ += record.d_reclen;
    if (std::memchr(name, '\0', room) == nullptr) continue;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    entry.kind = kindOf(folder_.get(), record.d_type, name);
    entry.cut = !text::copy(entry.name, name);
    return true;
  }
}

bool RootedTree::fail(TreeError error, int systemError) {
  error_ = error;
  systemError_ = systemError;
  return false;
}

bool RootedTree::open(const char* rootPath) {
  cache_.clear();
  lent_.clear();
  root_.reset(::open(rootPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root_) return fail(errno == ENOTDIR ? TreeError::kNotAFolder : TreeError::kSystem, errno);
  error_ = TreeError::kNone;
  return true;
}

bool RootedTree::readOnly() const {
  struct statvfs status;
  return fstatvfs(root_.get(), &status) == 0 && (status.f_flag & ST_RDONLY) != 0;
}

bool RootedTree::findIgnoringCase(int folderFd, const char* name, TreeEntry& found) {
  FolderListing listing;
  if (!listing.open(folderFd)) return fail(TreeError::kSystem, errno);
  int matches = 0;
  TreeEntry entry;
  while (listing.next(entry)) {
    if (entry.cut || !text::equalsIgnoringCase(entry.name, name)) continue;
    if (++matches > 1) return fail(TreeError::kAmbiguous);
    found = entry;
  }
  if (errno != 0) return fail(TreeError::kSystem, errno);
  return matches == 1 ? true : fail(TreeError::kNotFound);
}

bool RootedTree::find(int folderFd, const char* name, TreeEntry& found) {
  if (!isAcceptableName(name)) return fail(TreeError::kBadName);
  struct stat status;
  if (fstatat(folderFd, name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
    text::copy(found.name, name);
    found.kind = kindOf(status.st_mode);
    return true;
  }
  if (errno != ENOENT) return fail(TreeError::kSystem, errno);
  return findIgnoringCase(folderFd, name, found);
}

bool RootedTree::findWithoutTwin(int folderFd, const char* name, TreeEntry& found) {
  if (!isAcceptableName(name)) return fail(TreeError::kBadName);
  return findIgnoringCase(folderFd, name, found);
}

ScopedFd RootedTree::openChildFolder(int parentFd, const char* name) {
  if (!isAcceptableName(name)) {
    fail(TreeError::kBadName);
    return ScopedFd();
  }
  const char* onDisk = name;
  TreeEntry entry;
  ScopedFd child(openat(parentFd, name, kFolderFlags));
  if (!child && errno == ENOENT) {
    if (!findIgnoringCase(parentFd, name, entry)) return ScopedFd();
    onDisk = entry.name;
    child.reset(openat(parentFd, onDisk, kFolderFlags));
  }
  if (!child) {
    if (errno == ELOOP) {
      fail(TreeError::kLink);
    } else if (errno == ENOTDIR) {
      // Either a file, or a link (O_DIRECTORY is checked before O_NOFOLLOW on some systems).
      struct stat status;
      bool link =
          fstatat(parentFd, onDisk, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
      fail(link ? TreeError::kLink : TreeError::kNotAFolder);
    } else {
      fail(errno == ENOENT ? TreeError::kNotFound : TreeError::kSystem, errno);
    }
  }
  return child;
}

void RootedTree::giveBack(const std::string& path, int fd) {
  for (auto it = lent_.begin(); it != lent_.end(); ++it) {
    if (it->first == path && it->second == fd) {
      lent_.erase(it);
      return;
    }
  }
}

int RootedTree::cached(const std::string& path) {
  // The folders being listed first: they are where a walk opens its files.
  for (auto it = lent_.rbegin(); it != lent_.rend(); ++it) {
    if (it->first == path) return it->second;
  }
  for (CachedFolder& entry : cache_) {
    if (entry.path == path) {
      entry.lastUse = ++uses_;
      return entry.fd.get();
    }
  }
  return -1;
}

int RootedTree::remember(const std::string& path, ScopedFd fd) {
  if (cache_.size() < kCachedFolders) {
    cache_.push_back({path, std::move(fd), ++uses_});
    return cache_.back().fd.get();
  }
  CachedFolder* oldest = &cache_.front();
  for (CachedFolder& entry : cache_) {
    if (entry.lastUse < oldest->lastUse) oldest = &entry;
  }
  *oldest = {path, std::move(fd), ++uses_};
  return oldest->fd.get();
}

int RootedTree::folder(const char* relative) {
  if (!root_) {
    fail(TreeError::kSystem, EBADF);
    return -1;
  }
  std::string path = relative != nullptr ? relative : "";
  if (path.empty()) return root_.get();
  if (int known = cached(path); known >= 0) return known;

  // Starts from the longest folder along the path that is already open.
  std::size_t start = 0;
  int current = root_.get();
  for (std::size_t end = path.rfind('\\'); end != std::string::npos && end > 0;
       end = path.rfind('\\', end - 1)) {
    if (int known = cached(path.substr(0, end)); known >= 0) {
      current = known;
      start = end + 1;
      break;
    }
  }
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    ScopedFd child = openChildFolder(current, component.c_str());
    if (!child) return -1;
    current = remember(path.substr(0, end), std::move(child));
    start = end + 1;
  }
  return current;
}

ScopedFd RootedTree::openFolder(const char* relative) {
  int fd = folder(relative);
  if (fd < 0) return ScopedFd();
  ScopedFd own(openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!own) fail(TreeError::kSystem, errno);
  return own;
}

ScopedFd RootedTree::openFileIn(int folderFd, const char* name, FileIdentity& identity,
                                std::string* onDiskName, off_t* length) {
  TreeEntry entry;
  if (!find(folderFd, name, entry)) return ScopedFd();
  if (entry.kind == EntryKind::kLink) {
    fail(TreeError::kLink);
    return ScopedFd();
  }
  if (entry.kind != EntryKind::kRegularFile) {
    fail(TreeError::kNotARegularFile);
    return ScopedFd();
  }
  ScopedFd file(openat(folderFd, entry.name, kFileFlags));
  if (!file) {
    fail(errno == ELOOP ? TreeError::kLink : TreeError::kSystem, errno);
    return file;
  }
  // The entry may have been replaced between the look and the open.
  struct stat status;
  if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    fail(TreeError::kNotARegularFile);
    return ScopedFd();
  }
  identity = {status.st_dev, status.st_ino, status.st_nlink};
  if (onDiskName != nullptr) *onDiskName = entry.name;
  if (length != nullptr) *length = status.st_size;
  error_ = TreeError::kNone;
  return file;
}

ScopedFd RootedTree::openFile(const char* relative, FileIdentity& identity,
                              std::string* onDiskName) {
  std::string folderPath;
  const char* name = nullptr;
  splitLast(relative != nullptr ? relative : "", folderPath, name);
  int folderFd = folder(folderPath.c_str());
  if (folderFd < 0) return ScopedFd();
  return openFileIn(folderFd, name, identity, onDiskName);
}

}  // namespace platform::offline
