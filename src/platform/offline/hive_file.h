// One registry hive of an installation, as the privileged rescue holds it: never parsed here.
// Its bytes go, through a sealed memory file, to an unprivileged editor child (hive_sandbox.h)
// that opens them with hivex and answers the look-ups and removals asked of this class; the
// changes stay in that child, or in a memory file when the child is ended to make room for
// others, until commit(). A commit takes the edited hive from its child, has a second child
// verify that it holds exactly the keys and values of the original on disk less the removals
// asked for, and only then replaces the file, so that a crash, a hostile hive, a full disk or
// any failure on the way leaves the hive on disk as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/offline/hive_editor.h"
#include "platform/offline/hive_header.h"
#include "platform/offline/hive_sandbox.h"
#include "platform/offline/rooted_tree.h"
#include "platform/offline/scoped_fd.h"

namespace platform::offline {

class HiveFile;

// What the hives of one run share: the children's settings, the editors alive (at most
// settings.liveEditors; the one used longest ago is ended first), and where the problems met
// by a hive's children are reported.
class HiveSandbox {
 public:
  SandboxSettings settings;
  // Receives each problem (the hive, and what happened); when unset they are kept in
  // HiveFile::problems().
  std::function<void(const HiveFile&, const std::string&)> report;

  void used(HiveFile* hive);
  void ended(HiveFile* hive);
  // Ends editors until one more may start (never `keep`'s).
  void makeRoom(HiveFile* keep);
  std::size_t liveEditors() const { return live_.size(); }

 private:
  std::list<HiveFile*> live_;  // most recently used first
};

// Copies the whole of the verified hive `source` (a memory file) to the open, empty file
// `target`; false on any failure (errno set). Tests put a writer of their own in its place to
// fail on the way.
using HiveWriter = bool (*)(int source, int target);
bool copyHive(int source, int target);

struct CommitOptions {
  // Keep the original beside the hive as "<name>.vandrel-<date>" (or "-2", "-3", ... after it
  // when that is taken); an existing file is never overwritten.
  bool keepBackup = true;
  // YYYYMMDD for the backup's name; empty for today's local date. Anything but eight digits
  // fails the commit at kBackup.
  std::string date;
  HiveWriter writer = copyHive;
};

// Where a commit stopped. Before kRenamed nothing on disk has changed.
enum class CommitStep {
  kRefused,    // a change made could not be verified, or its child failed: nothing is written
  kEdited,     // the edited hive could not be had from its child
  kDiffers,    // the edited hive is not the original less the removals asked for
  kReread,     // the original could not be read again to verify the edited hive against
  kTemporary,  // the new file beside the hive could not be made
  kWrite,      // writing the hive to it failed
  kFlush,      // it could not be flushed to the disk
  kVerify,     // what was written does not read back as the verified hive
  kBackup,     // the original could not be kept
  kReplaced,   // the hive's name no longer leads to the file that was read
  kRename,     // the new file could not take the hive's name
  kDone,       // the hive was replaced
};

struct CommitResult {
  CommitStep step = CommitStep::kTemporary;
  int systemError = 0;
  std::string detail;      // what a child said or how it ended, when one was at fault
  std::string backupName;  // the original's new name, when one was kept
  bool folderFlushed = true;
  // The original's owner, mode, and NTFS security descriptor and attributes were given to the
  // new file (false: the hive was replaced, but with its folder's defaults for some of them).
  bool attributesCarried = true;

  bool committed() const { return step == CommitStep::kDone; }
};

const char* describe(CommitStep step);

// A key's path below its hive's root, as the rescue's messages name it.
std::string keyPathText(const std::vector<std::string>& path);

// The run's sandbox when none is given: default settings, problems kept by each hive.
HiveSandbox& defaultHiveSandbox();

class HiveFile {
 public:
  // Why open() failed.
  struct OpenError {
    TreeError tree = TreeError::kNone;   // the file could not be found or opened safely
    HiveFault fault = HiveFault::kNone;  // its base block says it must not be used
    int systemError = 0;                 // hivex refused it (its errno), or the system did
    std::string child;                   // its child failed (how), rather than hivex
    bool replaced = false;               // read again, the file is no longer the one first read
  };

  // Opens the hive `name` of the folder `folderPath` (both relative to the tree's root, which
  // must outlive the hive) and starts its editor. Null on failure, `error` saying why; nothing
  // on disk is touched either way.
  static std::unique_ptr<HiveFile> open(RootedTree& tree, const std::string& folderPath,
                                        const char* name, OpenError& error,
                                        HiveSandbox& sandbox = defaultHiveSandbox());
  ~HiveFile();
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  // The hive's path below the root, spelt as on disk, for messages.
  const std::string& path() const { return path_; }

  // Look-ups and removals, done by the editor (see HiveEditor). A hive whose child failed, or
  // that could not be read again, answers kFailed, and the problem is reported once; so is a
  // key, list or value on the way that cannot be read (kFailed) or that two keys answer to
  // (kAmbiguous), each named with its key.
  Lookup findKey(const std::vector<std::string>& path);
  Lookup queryValue(const std::vector<std::string>& path, const std::string& name,
                    std::uint32_t& type, std::string& data);
  ValueRemoval removeValue(const std::vector<std::string>& path, const std::string& name);
  // -1 when the hive failed.
  int serviceKeyCount(const std::string& name);
  Lookup serviceImagePath(const std::string& name, std::string& imagePath);
  // What the rescue reads of the installation's settings (hive_file_reading.cpp), bounded by
  // the caller and checked again here. Neither reports a problem: `why` says what went wrong,
  // for the caller to name.
  // The names of the first `most` subkeys of the key at `path`; `total` how many it lists.
  Lookup subkeyNames(const std::vector<std::string>& path, std::uint32_t most,
                     std::vector<std::string>& names, std::uint32_t& total, std::string& why);
  // A REG_SZ or REG_EXPAND_SZ value as UTF-8, at most `longest` bytes as stored.
  Lookup queryText(const std::vector<std::string>& path, const std::string& name,
                   std::uint32_t longest, std::string& text, std::string& why);
  // `deleted` receives the keys deleted; `why` what made a deletion refused or spoiled.
  ServiceDeletion deleteService(const std::string& name, std::vector<std::string>& deleted,
                                std::string& why);
  // Whether the service's keys can be told apart in every control set (see HiveEditor); a
  // control set where they cannot is reported, with the service named.
  Lookup findServiceKeys(const std::string& name);

  // Set by every change made; only a changed hive is committed.
  bool changed() const { return changed_; }
  // A change that could not be verified, or a child that failed: the hive's edits are not to
  // be trusted, and commit() refuses them.
  bool spoiled() const { return spoiled_; }
  void markSpoiled();

  // Ends the editor, keeping its changes (if any) in a memory file; the next request starts a
  // new one. False (and the hive spoiled, the problem reported) when the changes could not be
  // had from it.
  bool park();
  bool editorRunning() const { return editor_.running(); }

  // Verifies and writes the edited hive (see above): a new file beside the original, flushed,
  // read back, the original kept as a backup when asked, the new file renamed over it. On any
  // failure before the rename the original is left as it was and every file made on the way is
  // removed.
  CommitResult commit(const CommitOptions& options);

  // Forgets every change made through this hive and ends its editor: the next request reads the
  // hive from disk again.
  void discardChanges();
  // A sealed memory file holding the hive as it is now, its changes included (for tests, which
  // look into it with hivex of their own). Invalid on failure.
  ScopedFd copyOfEdited();

  // How many bytes of the file the last reading of it took.
  std::uint64_t bytesRead() const { return bytesRead_; }

  // Problems met when no HiveSandbox::report is set.
  const std::vector<std::string>& problems() const { return problems_; }

  // For tests of the sandbox: what the editor says about itself.
  bool editorIdentity(SandboxIdentity& identity);

 private:
  HiveFile() = default;

  // The hive as it is on disk now: its folder and file open, and a sealed copy of its bytes
  // (the hive's declared length plus a small slack at most). False with `why` set.
  struct OnDisk {
    ScopedFd folder;
    ScopedFd file;
    ScopedFd copy;
    std::uint64_t length = 0;
  };
  bool readFromDisk(OnDisk& disk, OpenError& error, std::string& why);
  bool ensureEditor();
  // Sends a request to the editor; false (the hive failed, reported) when it did not answer.
  bool ask(const std::string& request, std::string& answer);
  // True when the answer read through `in` was read to its end and its outcome is one the
  // request may give (none beyond `last`); else the hive fails, the problem reported.
  template <typename Outcome>
  bool answered(const hive_protocol::Reader& in, Outcome outcome, Outcome last);
  bool takeEdited(ScopedFd& edited, std::string& why);
  bool verify(int original, std::uint64_t originalLength, int edited, std::uint64_t editedLength,
              std::string& why);
  void fail(const std::string& what);
  void report(const std::string& what);
  // Reports a look-up of `what` (a key or value, named) that was neither found nor absent.
  void reportLookup(Lookup found, const std::string& what, const std::string& why);
  bool keepBackup(int folder, int file, const std::string& date, std::string& backupName,
                  int& systemError);

  RootedTree* tree_ = nullptr;
  HiveSandbox* sandbox_ = nullptr;
  std::string folderPath_;
  std::string name_;
  std::string path_;
  FileIdentity identity_;
  bool identityKnown_ = false;
  std::uint64_t bytesRead_ = 0;

  SandboxChild editor_;
  ScopedFd editorOutput_;
  std::uint64_t outputLimit_ = 0;
  ScopedFd parked_;  // the edited hive, while no editor holds it

  bool changed_ = false;
  bool spoiled_ = false;
  HiveRemovals removals_;
  std::vector<std::string> problems_;
  std::set<std::string> reported_;
};

}  // namespace platform::offline
