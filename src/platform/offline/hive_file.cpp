#include "platform/offline/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace platform::offline {
namespace {

// hivex opens and writes files by name. Through the process's own descriptor links it reaches
// exactly the file this program opened below the root, however that was named.
std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Names tried for a file of our own beside the hive before giving up: plenty for a folder that
// others are not filling at the same moment.
constexpr int kNameAttempts = 100;

std::string numbered(const std::string& stem, int attempt) {
  return attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
}

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[16] = {};
  if (localtime_r(&now, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y%m%d", &local) == 0) {
    return "00000000";
  }
  return text;
}

// Eight digits: the date goes into a file name, so nothing else may.
bool isDate(const std::string& date) {
  return date.size() == 8 && date.find_first_not_of("0123456789") == std::string::npos;
}

bool flush(int fd) {
  while (fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Copies the whole of `from` into `to` from its start.
bool copyFile(int from, int to) {
  char buffer[64 * 1024];
  off_t at = 0;
  for (;;) {
    ssize_t got = pread(from, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t put = 0; put < got;) {
      ssize_t wrote = write(to, buffer + put, static_cast<std::size_t>(got - put));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      put += wrote;
    }
    at += got;
  }
}

// A file made by the commit, removed again unless the commit keeps it.
class MadeFile {
 public:
  explicit MadeFile(int folder) : folder_(folder) {}
  ~MadeFile() {
    if (!name_.empty()) unlinkat(folder_, name_.c_str(), 0);
  }
  void made(const std::string& name) { name_ = name; }
  const std::string& name() const { return name_; }
  void keep() { name_.clear(); }

 private:
  int folder_;
  std::string name_;
};

// What the original file has beside its bytes, given to its replacement: owner and mode, and
// on an NTFS mount (ntfs-3g) its security descriptor and Windows attributes, without which the
// new hive would have its folder's. False when something the original has could not be given.
bool carryAttributes(int original, int replacement) {
  bool carried = true;
  struct stat status;
  if (fstat(original, &status) == 0) {
    carried = fchown(replacement, status.st_uid, status.st_gid) == 0 || errno == EPERM;
    carried = fchmod(replacement, status.st_mode & 07777) == 0 && carried;
  }
  for (const char* name : {"system.ntfs_acl", "system.ntfs_attrib_be"}) {
    char value[64 * 1024];
    ssize_t length = fgetxattr(original, name, value, sizeof value);
    if (length < 0) {
      // Not kept by this file system, or not set on the original: nothing to carry.
      if (errno != ENODATA && errno != ENOTSUP && errno != EOPNOTSUPP) carried = false;
      continue;
    }
    if (fsetxattr(replacement, name, value, static_cast<std::size_t>(length), 0) != 0) {
      carried = false;
    }
  }
  return carried;
}

}  // namespace

const char* describe(CommitStep step) {
  switch (step) {
    case CommitStep::kRefused:
      return "a change to it could not be verified, so it was not written";
    case CommitStep::kTemporary:
      return "no new file could be made beside it";
    case CommitStep::kWrite:
      return "writing the new hive failed";
    case CommitStep::kFlush:
      return "the new hive could not be flushed to the disk";
    case CommitStep::kVerify:
      return "the new hive did not read back as a sound hive";
    case CommitStep::kBackup:
      return "the original could not be kept as a backup";
    case CommitStep::kReplaced:
      return "the hive file was replaced by someone else meanwhile";
    case CommitStep::kRename:
      return "the new hive could not take the original's name";
    case CommitStep::kDone:
      return "replaced";
  }
  return "unknown step";
}

bool writeWithHivex(hive_h* hive, int fd) {
  return hivex_commit(hive, descriptorPath(fd).c_str(), 0) == 0;
}

std::unique_ptr<HiveFile> HiveFile::open(RootedTree& tree, const std::string& folderPath,
                                         const char* name, OpenError& error) {
  error = OpenError();
  std::unique_ptr<HiveFile> file(new HiveFile);
  file->folder_ = tree.openFolder(folderPath.c_str());
  if (!file->folder_) {
    error.tree = tree.error();
    error.systemError = tree.systemError();
    return nullptr;
  }
  file->file_ = tree.openFileIn(file->folder_.get(), name, file->identity_, &file->name_);
  if (!file->file_) {
    error.tree = tree.error();
    error.systemError = tree.systemError();
    return nullptr;
  }
  file->path_ = folderPath.empty() ? file->name_ : folderPath + "\\" + file->name_;

  error.fault = checkHiveFile(file->file_.get());
  if (error.fault != HiveFault::kNone) return nullptr;
  // Write mode reads the whole hive into memory: the file itself is never written by hivex.
  file->hive_.reset(hivex_open(descriptorPath(file->file_.get()).c_str(), HIVEX_OPEN_WRITE));
  if (!file->hive_) {
    error.systemError = errno != 0 ? errno : EINVAL;
    return nullptr;
  }
  return file;
}

bool HiveFile::stillTheFileRead() const {
  struct stat status;
  if (fstatat(folder_.get(), name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return S_ISREG(status.st_mode) &&
         identity_.sameFileAs({status.st_dev, status.st_ino, status.st_nlink});
}

bool HiveFile::keepBackup(const std::string& date, std::string& backupName, int& systemError) {
  const std::string stem = name_ + ".vandrel-" + date;
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    std::string candidate = numbered(stem, attempt);
    // A second name for the very file that was read: no copy to go wrong, and linkat never
    // replaces an existing name.
    if (linkat(AT_FDCWD, descriptorPath(file_.get()).c_str(), folder_.get(), candidate.c_str(),
               AT_SYMLINK_FOLLOW) == 0) {
      struct stat status;
      if (fstatat(folder_.get(), candidate.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          identity_.sameFileAs({status.st_dev, status.st_ino, status.st_nlink})) {
        backupName = candidate;
        return true;
      }
      systemError = EIO;
      return false;
    }
    if (errno == EEXIST) continue;
    // The file system keeps no second names (or /proc is missing): copy the bytes that were read
    // into a file of our own.
    MadeFile copy(folder_.get());
    ScopedFd target(openat(folder_.get(), candidate.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!target && errno == EEXIST) continue;
    if (!target) {
      systemError = errno;
      return false;
    }
    copy.made(candidate);
    if (!copyFile(file_.get(), target.get()) || !flush(target.get())) {
      systemError = errno;
      return false;
    }
    copy.keep();
    backupName = candidate;
    return true;
  }
  systemError = EEXIST;
  return false;
}

CommitResult HiveFile::commit(const CommitOptions& options) {
  CommitResult result;
  if (spoiled_) {
    result.step = CommitStep::kRefused;
    return result;
  }
  auto failAt = [&result](CommitStep step) {
    result.step = step;
    result.systemError = errno;
    return result;
  };

  MadeFile temporary(folder_.get());
  ScopedFd written;
  for (int attempt = 1; attempt <= kNameAttempts && !written; ++attempt) {
    std::string candidate = numbered(name_ + ".vandrel-new", attempt);
    written.reset(openat(folder_.get(), candidate.c_str(),
                         O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (written) temporary.made(candidate);
    if (!written && errno != EEXIST) break;
  }
  if (!written) return failAt(CommitStep::kTemporary);

  HiveWriter writer = options.writer != nullptr ? options.writer : writeWithHivex;
  if (!writer(hive_.get(), written.get())) return failAt(CommitStep::kWrite);
  // Before the flush, so that what the file is goes to the disk with what it holds.
  result.attributesCarried = carryAttributes(file_.get(), written.get());
  if (!flush(written.get())) return failAt(CommitStep::kFlush);
  {
    errno = 0;
    ScopedHive reread(hivex_open(descriptorPath(written.get()).c_str(), 0));
    if (checkHiveFile(written.get()) != HiveFault::kNone || !reread) {
      return failAt(CommitStep::kVerify);
    }
  }

  MadeFile backup(folder_.get());
  if (options.keepBackup) {
    std::string date = options.date.empty() ? today() : options.date;
    int systemError = EINVAL;
    if (!isDate(date) || !keepBackup(date, result.backupName, systemError)) {
      errno = systemError;
      return failAt(CommitStep::kBackup);
    }
    backup.made(result.backupName);
  }

  errno = 0;
  if (!stillTheFileRead()) return failAt(CommitStep::kReplaced);
  if (renameat(folder_.get(), temporary.name().c_str(), folder_.get(), name_.c_str()) != 0) {
    return failAt(CommitStep::kRename);
  }
  temporary.keep();
  backup.keep();
  // Some file systems cannot flush a folder; the rename has happened either way.
  result.folderFlushed = flush(folder_.get()) || errno == EINVAL || errno == ENOTSUP;

  // From now on the hive is the file just written.
  struct stat status;
  if (fstat(written.get(), &status) == 0)
    identity_ = {status.st_dev, status.st_ino, status.st_nlink};
  file_ = std::move(written);
  changed_ = false;
  result.step = CommitStep::kDone;
  return result;
}

}  // namespace platform::offline
