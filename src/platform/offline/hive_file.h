// One registry hive of an installation, held in memory by hivex from the moment it is opened:
// changes stay in memory until commit(), which replaces the file so that a crash, a full disk or
// any failure on the way leaves the hive on disk as it was.
#pragma once

#include <hivex.h>

#include <memory>
#include <string>

#include "platform/offline/hive_header.h"
#include "platform/offline/rooted_tree.h"
#include "platform/offline/scoped_fd.h"
#include "platform/scoped_handle.h"

namespace platform::offline {

struct HiveTraits {
  using Value = hive_h*;
  static Value none() { return nullptr; }
  static bool isValid(Value value) { return value != nullptr; }
  static void close(Value value) { hivex_close(value); }
};
using ScopedHive = ScopedHandle<HiveTraits>;

// Writes the whole hive to the open, empty file `fd`; false on any failure (errno set). The
// default is hivex_commit; tests put a writer of their own in its place to fail on the way.
using HiveWriter = bool (*)(hive_h* hive, int fd);
bool writeWithHivex(hive_h* hive, int fd);

struct CommitOptions {
  // Keep the original beside the hive as "<name>.vandrel-<date>" (or "-2", "-3", ... after it
  // when that is taken); an existing file is never overwritten.
  bool keepBackup = true;
  // YYYYMMDD for the backup's name; empty for today's local date. Anything but eight digits
  // fails the commit at kBackup.
  std::string date;
  HiveWriter writer = writeWithHivex;
};

// Where a commit stopped. Before kRenamed nothing on disk has changed.
enum class CommitStep {
  kRefused,    // a change made in memory could not be verified: nothing is written
  kTemporary,  // the new file beside the hive could not be made
  kWrite,      // writing the hive to it failed
  kFlush,      // it could not be flushed to the disk
  kVerify,     // what was written does not read back as a sound hive
  kBackup,     // the original could not be kept
  kReplaced,   // the hive's name no longer leads to the file that was read
  kRename,     // the new file could not take the hive's name
  kDone,       // the hive was replaced
};

struct CommitResult {
  CommitStep step = CommitStep::kTemporary;
  int systemError = 0;
  std::string backupName;  // the original's new name, when one was kept
  bool folderFlushed = true;
  // The original's owner, mode, and NTFS security descriptor and attributes were given to the
  // new file (false: the hive was replaced, but with its folder's defaults for some of them).
  bool attributesCarried = true;

  bool committed() const { return step == CommitStep::kDone; }
};

const char* describe(CommitStep step);

class HiveFile {
 public:
  // Why open() failed.
  struct OpenError {
    TreeError tree = TreeError::kNone;   // the file could not be found or opened safely
    HiveFault fault = HiveFault::kNone;  // its base block says it must not be used
    int systemError = 0;                 // hivex refused it (its errno)
  };

  // Opens the hive `name` of the folder `folderPath` (both relative to the tree's root). Null
  // on failure, `error` saying why; nothing on disk is touched either way.
  static std::unique_ptr<HiveFile> open(RootedTree& tree, const std::string& folderPath,
                                        const char* name, OpenError& error);

  hive_h* hive() const { return hive_.get(); }
  // The hive's path below the root, spelt as on disk, for messages.
  const std::string& path() const { return path_; }

  // Set by every change made in memory; only a changed hive is committed.
  bool changed() const { return changed_; }
  void markChanged() { changed_ = true; }
  // A change that could not be verified: the hive in memory is not to be trusted, and
  // commit() refuses it.
  bool spoiled() const { return spoiled_; }
  void markSpoiled() { spoiled_ = true; }

  // Writes the hive in memory to a new file beside the original, flushes it, keeps the original
  // as a backup when asked, and renames the new file over the original. On any failure before
  // the rename the original is left as it was and every file made on the way is removed.
  CommitResult commit(const CommitOptions& options);

 private:
  HiveFile() = default;

  bool keepBackup(const std::string& date, std::string& backupName, int& systemError);
  bool stillTheFileRead() const;

  ScopedFd folder_;
  std::string name_;
  std::string path_;
  ScopedFd file_;
  FileIdentity identity_;
  ScopedHive hive_;
  bool changed_ = false;
  bool spoiled_ = false;
};

}  // namespace platform::offline
