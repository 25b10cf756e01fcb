// The simulated machine's disks: a tree of folders and files with attributes, contents, files
// held open by processes, and per-path faults.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/sim/sim_handles.h"

namespace sim {

enum class FileFault {
  List,             // a search in this folder fails
  Open,             // the file cannot be opened for reading
  Length,           // its length cannot be had
  Read,             // reads fail
  SetAttributes,    // its attributes cannot be changed
  Delete,           // it cannot be deleted (access denied)
  DeleteAtRestart,  // its deletion at restart cannot be arranged
  ShortName,        // it has no short name
  Profile,          // its profile sections can be neither read nor written
};

class SimFileSystem : public platform::FileSystem {
 public:
  explicit SimFileSystem(SimHandles& handles);

  // Building the machine. Parent folders are made as needed; adding an existing path replaces it.
  void addFile(const std::string& path, const std::string& bytes = {},
               std::uint32_t attributes = platform::kAttributeArchive);
  void addFolder(const std::string& path, std::uint32_t attributes = platform::kAttributeDirectory);
  void setWindowsDirectory(const std::string& path) { windowsDirectory_ = path; }
  void setTempDirectory(const std::string& path) { tempDirectory_ = path; }
  void setCurrentDirectory(const std::string& path) { currentDirectory_ = path; }
  void inject(FileFault fault, const std::string& path);

  // A file held open without delete sharing (by a process running it, or any other holder)
  // cannot be deleted until every holder lets go.
  void holdOpen(const std::string& path);
  void letGo(const std::string& path);

  // Looking at the machine.
  bool hasFile(const std::string& path) const;
  std::string contentsOf(const std::string& path) const;
  // Deletions arranged for the next start, in order (as the system keeps them).
  const std::vector<std::string>& deletionsAtRestart() const { return deletionsAtRestart_; }
  // Gives a path a short name other than the one made up from its long name.
  void setShortPath(const std::string& path, const std::string& shortPath);
  std::uint32_t attributesOf(const std::string& path) const;
  std::string dump() const;

  // platform::FileSystem
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
  bool deleteAtRestart(const char* path) override;
  platform::Handle openForRemoval(const char* path) override;
  bool identify(platform::Handle file, platform::FileIdentity& identity) override;
  bool setAttributesOf(platform::Handle file, std::uint32_t attributes) override;
  bool deleteOpenFile(platform::Handle file) override;
  bool moveOpenFile(platform::Handle file, const char* newPath) override;
  bool createProtectedFolder(const char* path) override;
  bool identifyPath(const char* path, platform::FileIdentity& identity) override;
  std::uint32_t driveType(const char* root) override;
  bool shortPathName(const char* path, char* buffer, std::size_t capacity) override;
  bool readProfileSection(const char* file, const char* section, char* buffer, std::size_t capacity,
                          std::size_t& used) override;
  bool writeProfileSection(const char* file, const char* section, const char* lines) override;
  bool windowsDirectory(char* buffer, std::size_t capacity) override;
  bool tempDirectory(char* buffer, std::size_t capacity) override;

  // Bytes handed out by read(), for checks of how much an operation reads.
  std::uint64_t bytesRead() const { return bytesRead_; }

 private:
  struct Node {
    std::string name;  // as added, for listings
    bool folder = false;
    std::string bytes;
    std::uint32_t attributes = 0;
    int holders = 0;
    std::vector<std::string> children;  // keys, in listing order
  };
  struct Search {
    std::vector<platform::FindEntry> entries;
    std::size_t next = 0;
  };
  struct OpenFile {
    std::string key;
    std::uint32_t position = 0;
  };

  // A relative path is taken from the current folder, as the system does.
  std::string absolutePath(const std::string& path) const;
  std::string keyOf(const std::string& path) const { return normalizePath(absolutePath(path)); }
  Node* find(const std::string& path);
  const Node* find(const std::string& path) const;
  Node& ensureFolder(const std::string& key, const std::string& path);
  bool faulty(FileFault fault, const std::string& key) const;
  void detach(const std::string& key);

  SimHandles& handles_;
  std::map<std::string, Node> nodes_;
  std::map<platform::Handle, Search> searches_;
  std::map<platform::Handle, OpenFile> files_;
  std::set<std::pair<FileFault, std::string>> faults_;
  std::string windowsDirectory_ = "C:\\WINDOWS";
  std::string tempDirectory_ = "C:\\WINDOWS\\TEMP\\";
  std::string currentDirectory_ = "C:\\WINDOWS";
  std::uint64_t bytesRead_ = 0;
  std::vector<std::string> deletionsAtRestart_;
  std::map<std::string, std::string> shortPaths_;
};

}  // namespace sim
