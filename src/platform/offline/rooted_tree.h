// The files of an installation mounted under a root folder, reached only through descriptors
// opened below that root. Paths are Windows-style and relative to the root
// ("WINDOWS\system32\config"); each component is looked up by its exact name first and then,
// when that is absent, as the one entry of its folder whose name equals it ignoring case, as
// Windows matches names whatever the mount does. A symbolic link (a junction, on an NTFS mount)
// is never followed, "." and ".." are never components, and a name that two entries answer to
// ignoring case is refused rather than guessed.
//
// Exact-first suits names taken from a listing of the folder (a walk's, which examines both of
// two names that differ only in letter case: they are two files). A name the installation itself
// gives (its Windows folder, a profile, a hive) is looked up with findWithoutTwin() instead: the
// folder is read whole, and a twin makes the name ambiguous even when one of the two is spelt
// exactly so, since which of them Windows would take cannot be known.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/offline/scoped_fd.h"

namespace platform::offline {

// Why a look-up failed.
enum class TreeError {
  kNone,
  kNotFound,         // no entry of that name, in any letter case
  kNotAFolder,       // the entry is not a folder where a folder was needed
  kNotARegularFile,  // the entry is not a regular file where a file was needed
  kLink,             // the entry is a symbolic link: never followed
  kAmbiguous,        // more than one entry equals the name ignoring case
  kBadName,          // empty, ".", "..", containing '/', or too long
  kSystem,           // the system refused (systemError() says how)
};

const char* describe(TreeError error);

enum class EntryKind { kFolder, kRegularFile, kLink, kOther };

// A name component as the file system holds it: NTFS names are up to 255 UTF-16 units, which
// ntfs-3g gives as up to three bytes of UTF-8 each.
constexpr std::size_t kNameCapacity = 3 * 255 + 1;

struct TreeEntry {
  char name[kNameCapacity] = {};
  EntryKind kind = EntryKind::kOther;
  // The name did not fit and `name` holds only its beginning, to be shown: it leads nowhere.
  bool cut = false;
};

// What a file is, whatever it is called: the remedy acts only on the file that was examined.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  nlink_t links = 0;

  bool sameFileAs(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
};

class RootedTree;

// The entries of one folder, "." and ".." left out, in the order the file system lists them.
// Read in blocks straight from the system, through a descriptor of its own, so that two listings
// of one folder never share a position.
class FolderListing {
 public:
  FolderListing() = default;
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // Starts listing the folder `folderFd` (which stays the caller's); false with errno set.
  bool open(int folderFd);
  // Starts listing the folder at `relative` in `tree`, as a walk does: while the listing lives,
  // the tree opens the folder's files through the listing's own descriptor, so that listing a
  // folder and opening its files cost one open of the folder. False with tree.error() set. The
  // listing must not outlive the tree.
  bool open(RootedTree& tree, const char* relative);
  // The next entry; false at the end or when the listing fails (errno then non-zero). A name
  // that does not fit kNameCapacity comes cut, and marked so.
  bool next(TreeEntry& entry);
  // The folder's descriptor, valid while the listing is open (-1 before): files of the folder
  // are opened and removed through it.
  int descriptor() const { return folder_.get(); }

 private:
  static constexpr std::size_t kBlockSize = 16 * 1024;

  void close();

  ScopedFd folder_;
  RootedTree* lentTo_ = nullptr;  // the tree that uses folder_ for the folder's path
  std::string path_;
  std::unique_ptr<unsigned char[]> block_;
  std::size_t used_ = 0;
  std::size_t at_ = 0;
};

class RootedTree {
 public:
  RootedTree() = default;
  RootedTree(const RootedTree&) = delete;
  RootedTree& operator=(const RootedTree&) = delete;

  // Opens the root folder. The root path itself is taken as given (links included): the
  // administrator named it. False when it is not a folder that can be opened.
  bool open(const char* rootPath);
  int rootFd() const { return root_.get(); }
  // True when the root's file system is mounted read-only.
  bool readOnly() const;

  // The folder at `relative` ("" is the root). The descriptor is borrowed: it stays open until
  // the next call that resolves a path on this tree. -1 on failure, error() says why.
  int folder(const char* relative);
  // The same folder as a descriptor of the caller's own (an open of its own, so that a listing
  // through it does not share a position with any other); invalid on failure.
  ScopedFd openFolder(const char* relative);

  // Looks `name` up in the folder `folderFd` without opening it: `found` receives the name as
  // the file system holds it, and its kind. False with error() set.
  bool find(int folderFd, const char* name, TreeEntry& found);
  // The same, but `name` is found only as the one entry of the folder equal to it ignoring case:
  // kAmbiguous when another entry differs from it only in letter case, however it is spelt.
  bool findWithoutTwin(int folderFd, const char* name, TreeEntry& found);

  // Opens the regular file at `relative` for reading, never through a link. `identity`
  // receives what the file is; `onDiskName`, when given, the last component as held on disk;
  // `length`, when given, the file's length when it was opened. Invalid on failure, error()
  // says why; nothing is opened but regular files.
  ScopedFd openFile(const char* relative, FileIdentity& identity,
                    std::string* onDiskName = nullptr);
  // The same for the entry `name` of the folder `folderFd`.
  ScopedFd openFileIn(int folderFd, const char* name, FileIdentity& identity,
                      std::string* onDiskName = nullptr, off_t* length = nullptr);

  TreeError error() const { return error_; }
  // The errno of the last kSystem failure.
  int systemError() const { return systemError_; }

  // How many folders the cache keeps open: enough for the levels of a walk.
  static constexpr std::size_t kCachedFolders = 16;

 private:
  friend class FolderListing;

  struct CachedFolder {
    std::string path;
    ScopedFd fd;
    std::uint64_t lastUse = 0;
  };

  bool fail(TreeError error, int systemError = 0);
  int cached(const std::string& path);
  int remember(const std::string& path, ScopedFd fd);
  // A listing's descriptor, used for its folder's path for as long as the listing lives.
  void lend(const std::string& path, int fd) { lent_.emplace_back(path, fd); }
  void giveBack(const std::string& path, int fd);
  // Opens the folder `name` of `parentFd` (exact name first, then ignoring case).
  ScopedFd openChildFolder(int parentFd, const char* name);
  // The one entry of the folder equal to `name` ignoring case.
  bool findIgnoringCase(int folderFd, const char* name, TreeEntry& found);

  ScopedFd root_;
  std::vector<CachedFolder> cache_;
  std::vector<std::pair<std::string, int>> lent_;
  std::uint64_t uses_ = 0;
  TreeError error_ = TreeError::kNone;
  int systemError_ = 0;
};

// True when `name` may be a component: not empty, not "." or "..", without '/', and short
// enough for the file system.
bool isAcceptableName(const char* name);

}  // namespace platform::offline
