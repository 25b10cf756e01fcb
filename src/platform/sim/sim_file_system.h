// The simulated machine's disks: a tree of folders and files with attributes, contents, links
// and junctions, hard links and file identity, files held open by programs or run as their
// images, and per-path faults. Paths resolve as the system's do: without regard to case,
// through junctions and links on the way, "." and ".." taken as they come.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/sim/sim_handles.h"

namespace sim {

enum class FileFault {
  List,             // a search in this folder fails
  Open,             // the file cannot be opened for reading (access denied)
  InUse,            // the file is held open by another program that shares nothing
  Length,           // its length cannot be had
  Read,             // reads fail
  SetAttributes,    // its attributes cannot be changed
  Delete,           // it cannot be deleted, nor opened to be deleted (access denied)
  Move,             // it cannot be moved
  DeleteAtRestart,  // its deletion at restart cannot be arranged
  ShortName,        // it has no short name
  Profile,          // its profile sections can be neither read nor written
  Security,         // the folder's owner and access list cannot be read
};

// The short name the system makes up for a long name: the first six letters or digits and "~1",
// upper case, as for the first such name in a folder; an 8.3 name comes back in upper case.
std::string madeUpShortName(const std::string& name);

// The contents and the state of one file, whatever names it has.
struct SimFileData;
// A running program's hold on its image: the image cannot be deleted while it is kept.
using ImageMapping = std::shared_ptr<SimFileData>;

class SimFileSystem : public platform::FileSystem {
 public:
  explicit SimFileSystem(SimHandles& handles);
  ~SimFileSystem() override;

  // Building the machine. Parent folders are made as needed; adding an existing path replaces it.
  void addFile(const std::string& path, const std::string& bytes = {},
               std::uint32_t attributes = platform::kAttributeArchive);
  void addFolder(const std::string& path, std::uint32_t attributes = platform::kAttributeDirectory);
  // A junction (or a symbolic link to a folder) at `path` that leads to the folder `target`.
  void addJunction(const std::string& path, const std::string& target);
  // A symbolic link to a file.
  void addFileLink(const std::string& path, const std::string& target);
  // A second name for an existing file.
  void addHardLink(const std::string& path, const std::string& existing);
  // A file whose name has characters the code page lacks: listed as `listedName` (what the
  // conversion makes of it, such as "..\outside.exe" or "??.exe"), not exact, reachable only
  // through its short name `shortName` (none when empty). Returns the path it is reached by
  // ("" without a short name).
  std::string addFileOutsideTheCodePage(const std::string& folder, const std::string& listedName,
                                        const std::string& shortName, const std::string& bytes);
  // Renames a file or a folder (with everything in it), as another user may; open handles keep
  // to their files.
  bool rename(const std::string& from, const std::string& to);
  void setWindowsDirectory(const std::string& path) { windowsDirectory_ = path; }
  void setSystemDirectory(const std::string& path) { systemDirectory_ = path; }
  void setTempDirectory(const std::string& path) { tempDirectory_ = path; }
  void setCurrentDirectory(const std::string& path) { currentDirectory_ = path; }
  // Whether the system is of the NT family, which opens files for removal through a handle.
  void setNtFamily(bool nt) { ntFamily_ = nt; }
  // The kind of the drive of `letter` (fixed unless said otherwise); "\\server" paths are remote.
  void setDriveType(char letter, std::uint32_t type);
  // The security descriptor of a folder, self-relative as the system hands it out. A folder
  // without one leaves its entries to the administrators, as the system's own folders do from
  // Windows XP on.
  void setFolderSecurity(const std::string& path, const std::string& descriptor);
  // Whether the volume of drive `letter` keeps access lists (NTFS) or not (FAT); it does unless
  // said otherwise.
  void setAccessLists(char letter, bool kept);
  // The SID of the account the program runs as.
  void setOwnAccount(const std::string& sid) { ownAccount_ = sid; }
  void inject(FileFault fault, const std::string& path);
  // Runs `change` once, just before the next operation of the program that changes a file: what
  // another user may do between the program's look at a file and its act on it.
  void beforeNextChange(std::function<void()> change) { beforeNextChange_ = std::move(change); }

  // A file held open without delete sharing (by any program) cannot be deleted, nor opened to
  // be deleted, until every holder lets go.
  void holdOpen(const std::string& path);
  void letGo(const std::string& path);
  // A running program's image: it can be opened for removal and moved, but not deleted.
  ImageMapping mapImage(const std::string& path);
  void unmapImage(ImageMapping& mapping);
  // What the system tells of a running program's image, wherever it lies by now (renames keep
  // to the file). False when it has no name any more, or while it is open for removal: the
  // system holds the file in place to answer, which a handle with delete access prevents.
  bool identifyImage(const ImageMapping& mapping, platform::FileIdentity& identity) const;
  // The path that reaches a running program's image now: each name as listed where the code
  // page spells it, else its short name. Empty when it has no name or no such path.
  std::string pathOfImage(const ImageMapping& mapping) const;

  // Looking at the machine.
  bool hasFile(const std::string& path) const;
  std::string contentsOf(const std::string& path) const;
  // Deletions arranged for the next start, in order (as the system keeps them).
  const std::vector<std::string>& deletionsAtRestart() const { return deletionsAtRestart_; }
  // Folders made by createProtectedFolder, in order.
  const std::vector<std::string>& protectedFolders() const { return protectedFolders_; }
  // Gives a path a short name other than the one made up from its long name.
  void setShortPath(const std::string& path, const std::string& shortPath);
  // Gives a file or folder a short (8.3) name of its own, as the system keeps one beside a long
  // name: listed with the entry, taken in paths, and used by shortPathName.
  void setShortName(const std::string& path, const std::string& shortName);
  std::uint32_t attributesOf(const std::string& path) const;
  std::string dump() const;

  // platform::FileSystem
  platform::OpenFailure lastOpenFailure() override { return lastOpenFailure_; }
  platform::Handle findFirst(const char* pattern, platform::FindEntry& entry) override;
  bool findNext(platform::Handle search, platform::FindEntry& entry) override;
  void findClose(platform::Handle search) override;
  bool exists(const char* path) override;
  bool isReadable(const char* path) override;
  platform::Handle openForReading(const char* path) override;
  std::int64_t fileLength(platform::Handle file) override;
  bool seek(platform::Handle file, std::uint32_t offset) override;
  int read(platform::Handle file, void* buffer, int count) override;
  void closeFile(platform::Handle file) override;
  bool setAttributes(const char* path, std::uint32_t attributes) override;
  bool deleteFile(const char* path) override;
  platform::Handle openForRemoval(const char* path) override;
  bool identify(platform::Handle file, platform::FileIdentity& identity) override;
  bool setAttributesOf(platform::Handle file, std::uint32_t attributes) override;
  bool deleteOpenFile(platform::Handle file) override;
  bool moveOpenFile(platform::Handle file, const char* newPath) override;
  bool createProtectedFolder(const char* path) override;
  platform::EntryRemoval entryRemoval(const char* folder) override;
  bool identifyPath(const char* path, platform::FileIdentity& identity) override;
  std::uint32_t driveType(const char* root) override;
  bool deleteAtRestart(const char* path) override;
  bool shortPathName(const char* path, char* buffer, std::size_t capacity) override;
  bool readProfileSection(const char* file, const char* section, char* buffer, std::size_t capacity,
                          std::size_t& used) override;
  bool writeProfileSection(const char* file, const char* section, const char* lines) override;
  bool windowsDirectory(char* buffer, std::size_t capacity) override;
  bool systemDirectory(char* buffer, std::size_t capacity) override;
  bool tempDirectory(char* buffer, std::size_t capacity) override;

  // Bytes handed out by read(), for checks of how much an operation reads.
  std::uint64_t bytesRead() const { return bytesRead_; }
  // How many times a path on another machine (a network path, or a drive of kDriveRemote) was
  // looked up: each would have reached that machine with the program's rights.
  int remoteLookups() const { return remoteLookups_; }

 private:
  // Notes the outcome of an opening or search and returns `handle`.
  platform::Handle noteOpening(platform::Handle handle, platform::OpenFailure failure) {
    lastOpenFailure_ = handle != platform::kNoHandle ? platform::OpenFailure::kNone : failure;
    return handle;
  }
  platform::OpenFailure lastOpenFailure_ = platform::OpenFailure::kNone;

  // One name in a folder: a folder, a file, or a link (to a folder or a file).
  struct Node {
    std::string name;  // as listed
    bool folder = false;
    std::uint32_t folderAttributes = platform::kAttributeDirectory;
    std::shared_ptr<SimFileData> data;  // files and file links
    std::string linkTarget;             // key a link or junction leads to
    std::vector<std::string> children;  // keys, in listing order
    bool exactName = true;
    std::string alternateName;
    std::uint64_t entry = 0;  // stays with the name through renames
  };
  struct Search {
    std::vector<platform::FindEntry> entries;
    std::size_t next = 0;
  };
  struct OpenFile {
    std::uint64_t entry;
    std::shared_ptr<SimFileData> data;
    std::uint32_t position = 0;
    bool forRemoval = false;
  };

  // A relative path is taken from the current folder, as the system does.
  std::string absolutePath(const std::string& path) const;
  // The key a path leads to: links and junctions on the way are followed, and the one at the
  // end when `followLast` is set.
  std::string resolve(const std::string& path, bool followLast = true) const;
  // The short name of the entry at `key`, as the system keeps one beside a long name: given, or
  // made up; empty when its name is 8.3 already, when it has none (FileFault::ShortName), or
  // when its name is not the one listed (a name outside the code page has only the one given).
  std::string shortNameOf(const std::string& key, const Node& node) const;
  // The key of the entry of folder `parent` whose short name is `shortName` (upper case); empty
  // when none has.
  std::string keyOfShortName(const std::string& parent, const std::string& shortName) const;
  Node* find(const std::string& path, bool followLast = true);
  const Node* find(const std::string& path, bool followLast = true) const;
  Node& ensureFolder(const std::string& key, const std::string& path);
  Node& place(const std::string& path, const std::string& listedName);
  bool faulty(FileFault fault, const std::string& key) const;
  void detach(const std::string& key);
  void rekey(const std::string& from, const std::string& to);
  OpenFile* opened(platform::Handle handle);
  std::string keyOfEntry(std::uint64_t entry) const;
  void aboutToChange();
  // The key of a name that `mapping`'s file has (the first, if it has several); empty if none.
  std::string keyOfImage(const ImageMapping& mapping) const;
  platform::FileIdentity identityOf(const std::string& key, const SimFileData& data) const;
  platform::Handle openNode(const std::string& key, Node& node, bool forRemoval);

  SimHandles& handles_;
  std::map<std::string, Node> nodes_;
  std::map<std::uint64_t, std::string> entryKeys_;
  std::map<platform::Handle, Search> searches_;
  std::map<platform::Handle, OpenFile> files_;
  std::set<std::pair<FileFault, std::string>> faults_;
  std::map<char, std::uint32_t> driveTypes_;
  std::map<std::string, std::string> folderSecurity_;
  std::set<char> drivesWithoutAccessLists_;
  std::string ownAccount_;
  std::string windowsDirectory_ = "C:\\WINDOWS";
  std::string systemDirectory_ = "C:\\WINDOWS\\system32";
  std::string tempDirectory_ = "C:\\WINDOWS\\TEMP\\";
  std::string currentDirectory_ = "C:\\WINDOWS";
  bool ntFamily_ = true;
  std::uint64_t nextEntry_ = 1;
  std::uint64_t nextFileIndex_ = 0x1000;
  int surrogateNames_ = 0;
  std::uint64_t bytesRead_ = 0;
  mutable int remoteLookups_ = 0;
  std::vector<std::string> deletionsAtRestart_;
  std::vector<std::string> protectedFolders_;
  std::map<std::string, std::string> shortPaths_;
  std::function<void()> beforeNextChange_;
};

}  // namespace sim
