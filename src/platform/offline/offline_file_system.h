// The file part of the seam over a Windows installation mounted on Linux, presented as drive C:
// "C:\WINDOWS\system32\msblast.exe" is ROOT/<the on-disk names>, each component matched without
// regard to case (see RootedTree). No link is ever followed, nothing but regular files is
// opened, and a file is removed only through the handle it was examined through, once the name
// in its folder has been seen to lead to that very file still. Nothing runs offline: no file is
// in use, and nothing can be left for a restart.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file_system.h"
#include "platform/offline/installation.h"
#include "platform/offline/rooted_tree.h"

namespace platform::offline {

class OfflineFileSystem : public FileSystem {
 public:
  // `tree` and `installation` must outlive this object.
  OfflineFileSystem(RootedTree& tree, const Installation& installation);
  ~OfflineFileSystem() override;
  OfflineFileSystem(const OfflineFileSystem&) = delete;
  OfflineFileSystem& operator=(const OfflineFileSystem&) = delete;

  // In a dry run nothing is removed: deleteOpenFile checks the file as a real removal would,
  // records it and reports success, and later listings leave it out, so that a scan shows and
  // counts exactly what a real run would.
  void setDryRun(bool dryRun) { dryRun_ = dryRun; }
  bool dryRun() const { return dryRun_; }

  std::size_t openHandleCount() const { return searches_.size() + files_.size(); }

  // Listings: the names as on disk, without "." and ".."; folders carry kAttributeDirectory,
  // symbolic links kAttributeReparsePoint (never entered, never opened), and a name that
  // Windows could not hold (a backslash in it, more than 255 UTF-16 units, say) or that did not
  // fit the listing is marked as not exact, with no short name.
  OpenFailure lastOpenFailure() override { return lastOpenFailure_; }
  // In UTF-16 units, as Windows measures the path: names are UTF-8 here.
  std::size_t pathLength(const char* path) override;
  Handle findFirst(const char* pattern, FindEntry& entry) override;
  bool findNext(Handle search, FindEntry& entry) override;
  void findClose(Handle search) override;

  // Any entry, a link included (it is there, though never followed).
  bool exists(const char* path) override;
  bool isReadable(const char* path) override;

  Handle openForReading(const char* path) override;
  std::int64_t fileLength(Handle file) override;
  bool seek(Handle file, std::uint32_t offset) override;
  int read(Handle file, void* buffer, int count) override;
  void closeFile(Handle file) override;

  // Read-only, hidden and system do not stop an unlink on Linux, and the attributes that an
  // NTFS mount keeps in an extended attribute are never in the way of removing a file: both
  // report success for an existing file and change nothing.
  bool setAttributes(const char* path, std::uint32_t attributes) override;
  bool setAttributesOf(Handle file, std::uint32_t attributes) override;
  // Always false: a file is removed only through the handle it was examined through.
  bool deleteFile(const char* path) override;

  // Keeps the folder the file was found in (a descriptor of its own) and the file's name there.
  Handle openForRemoval(const char* path) override;
  // The device and inode as volume and index; a regular file's attributes are kAttributeNormal.
  // The links are the names Windows counts: a long name's short form on an ntfs-3g mount is the
  // same name, not a second one.
  bool identify(Handle file, platform::FileIdentity& identity) override;
  // Removes the name the file was opened by, after checking, in the folder kept, that the name
  // still leads to the open file (not followed, the same device and inode). False when it does
  // not, when the handle was not opened for removal, or when the name's short form still leads
  // to the file afterwards.
  bool deleteOpenFile(Handle file) override;

  // Offline there is no restart to leave anything to: these all fail, leaving buffers empty.
  bool moveOpenFile(Handle file, const char* newPath) override;
  bool createProtectedFolder(const char* path) override;
  bool deleteAtRestart(const char* path) override;
  bool shortPathName(const char* path, char* buffer, std::size_t capacity) override;
  bool readProfileSection(const char* file, const char* section, char* buffer, std::size_t capacity,
                          std::size_t& used) override;
  bool writeProfileSection(const char* file, const char* section, const char* lines) override;

  // Resolved without following a link: false for a link, or anything behind one.
  bool identifyPath(const char* path, platform::FileIdentity& identity) override;
  // "C:\" is a fixed drive; no other drive exists.
  std::uint32_t driveType(const char* root) override;

  // "C:\<the Windows folder as on disk>", and its Temp folder with a trailing backslash.
  bool windowsDirectory(char* buffer, std::size_t capacity) override;
  bool systemDirectory(char* buffer, std::size_t capacity) override;
  bool tempDirectory(char* buffer, std::size_t capacity) override;

 private:
  // Notes the outcome of an opening or search, from errno when it failed, and returns `handle`.
  Handle noteOpening(Handle handle);

  OpenFailure lastOpenFailure_ = OpenFailure::kNone;
  struct Listed;
  struct Search;
  struct OpenFile;
  // A file a dry run has removed: its folder's device and inode, and its name there.
  using HiddenFile = std::tuple<dev_t, ino_t, std::string>;

  // The listing of `relative`: the one last read whole when nothing was removed since (the walk
  // lists each folder twice, for its files and then for its subfolders), else a new one.
  std::shared_ptr<Listed> listingOf(const std::string& relative);
  // Keeps a listing read whole for the next search of its folder.
  void findCloseListing(std::shared_ptr<Listed> listed);
  // The entry of `search` that matches its mask and is not hidden, as a FindEntry.
  bool nextMatch(Search& search, FindEntry& entry);
  bool hiddenIn(Listed& listed, const std::string& name);
  // The folder of `path` (a descriptor the tree lends), the last component's name and, when
  // asked, the folder's path below the root; false when the path is not on C:, has no name, or
  // its folder cannot be reached.
  bool resolveParent(const char* path, int& folder, std::string& name,
                     std::string* folderPath = nullptr);
  Handle openFile(const char* path, bool forRemoval);
  OpenFile* fileFor(Handle file);
  Handle nextHandle() { return ++lastHandle_; }

  RootedTree& tree_;
  const Installation& installation_;
  bool dryRun_ = false;
  std::map<Handle, std::unique_ptr<Search>> searches_;
  std::map<Handle, std::unique_ptr<OpenFile>> files_;
  // Listings still in use (by a search or an open file), to find a folder's descriptor in.
  std::vector<std::weak_ptr<Listed>> live_;
  std::shared_ptr<Listed> lastComplete_;
  std::uint64_t removals_ = 0;
  std::set<HiddenFile> hidden_;
  Handle lastHandle_ = 0x3000;
};

// The path below the root that a path on drive C: names ("WINDOWS\system32" for
// "C:\WINDOWS\system32"), its components joined by one backslash; "" for the root itself.
// False for a path on any other drive, or with a component "." or "..".
bool relativeToDriveC(const char* path, std::string& relative);

}  // namespace platform::offline
