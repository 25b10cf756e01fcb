// A dry run: implementations of the seam that read through to the real ones and, where the real
// ones would change something, change nothing, count what would have changed and answer as the
// change would have answered. Whatever was "removed" is left out of what is read afterwards (a
// deleted file of later listings, an ended process of later process lists, a deleted value of
// later queries, a stopped service of the active ones), so that a scan over them writes the
// lines and counts a real run would. What the system would have refused cannot be known without
// asking it to do it: every change is taken to succeed.
#pragma once

#include <cstdint>

#include "platform/os.h"

namespace platform {

// What a real run would have changed, by kind.
struct DryRunChanges {
  int processesEnded = 0;
  int windowsClosed = 0;
  int filesDeleted = 0;
  int filesMoved = 0;
  int attributesChanged = 0;
  int removalsScheduled = 0;  // deletions at the next restart, and wininit.ini sections
  int foldersCreated = 0;
  int valuesDeleted = 0;
  int servicesStopped = 0;
  int servicesDeleted = 0;
  int restarts = 0;

  bool any() const {
    return processesEnded + windowsClosed + filesDeleted + filesMoved + attributesChanged +
               removalsScheduled + foldersCreated + valuesDeleted + servicesStopped +
               servicesDeleted + restarts !=
           0;
  }
};

// Paths that a dry run has removed, compared as the system compares names (letters without
// regard to case, a run of backslashes as one).
class RemovedPaths {
 public:
  // False when the table is full (the path is then still listed afterwards).
  bool add(const char* path);
  bool contains(const char* path) const;
  // Whether `name` in the folder of the search pattern `pattern` ("C:\WINDOWS\*.*") is removed.
  bool containsEntry(const char* pattern, const char* name) const;

 private:
  static constexpr int kCapacity = 256;
  char paths_[kCapacity][kMaxPath] = {};
  int count_ = 0;
};

class DryRunFileSystem : public FileSystem {
 public:
  DryRunFileSystem(FileSystem& real, DryRunChanges& changes) : real_(real), changes_(changes) {}

  Handle findFirst(const char* pattern, FindEntry& entry) override;
  bool findNext(Handle search, FindEntry& entry) override;
  void findClose(Handle search) override;
  bool exists(const char* path) override;
  bool isReadable(const char* path) override;
  Handle openForReading(const char* path) override;
  std::int64_t fileLength(Handle file) override { return real_.fileLength(file); }
  bool seek(Handle file, std::uint32_t offset) override { return real_.seek(file, offset); }
  int read(Handle file, void* buffer, int count) override {
    return real_.read(file, buffer, count);
  }
  void closeFile(Handle file) override;
  bool setAttributes(const char* path, std::uint32_t attributes) override;
  bool deleteFile(const char* path) override;
  Handle openForRemoval(const char* path) override;
  bool identify(Handle file, FileIdentity& identity) override {
    return real_.identify(file, identity);
  }
  bool setAttributesOf(Handle file, std::uint32_t attributes) override;
  bool deleteOpenFile(Handle file) override;
  bool moveOpenFile(Handle file, const char* newPath) override;
  bool createProtectedFolder(const char* path) override;
  // Only asks: what a real run would find decides what it would schedule.
  EntryRemoval entryRemoval(const char* folder) override { return real_.entryRemoval(folder); }
  bool identifyPath(const char* path, FileIdentity& identity) override;
  std::uint32_t driveType(const char* root) override { return real_.driveType(root); }
  bool deleteAtRestart(const char* path) override;
  bool shortPathName(const char* path, char* buffer, std::size_t capacity) override {
    return real_.shortPathName(path, buffer, capacity);
  }
  bool readProfileSection(const char* file, const char* section, char* buffer, std::size_t capacity,
                          std::size_t& used) override {
    return real_.readProfileSection(file, section, buffer, capacity, used);
  }
  bool writeProfileSection(const char* file, const char* section, const char* lines) override;
  bool windowsDirectory(char* buffer, std::size_t capacity) override {
    return real_.windowsDirectory(buffer, capacity);
  }
  bool systemDirectory(char* buffer, std::size_t capacity) override {
    return real_.systemDirectory(buffer, capacity);
  }
  bool tempDirectory(char* buffer, std::size_t capacity) override {
    return real_.tempDirectory(buffer, capacity);
  }

 private:
  // An open search with its pattern, or an open file with its path: what a removal names.
  struct Named {
    Handle handle = kNoHandle;
    char path[kMaxPath] = {};
  };
  static constexpr int kOpenCapacity = 192;  // deeper than any walk a path of 260 can take
  Named* remember(Named (&table)[kOpenCapacity], Handle handle, const char* path);
  static Named* find(Named (&table)[kOpenCapacity], Handle handle);
  bool nextShown(Handle search, const char* pattern, FindEntry& entry, bool found);

  FileSystem& real_;
  DryRunChanges& changes_;
  RemovedPaths removed_;
  Named searches_[kOpenCapacity];
  Named files_[kOpenCapacity];
};

class DryRunProcesses : public Processes {
 public:
  DryRunProcesses(Processes& real, DryRunChanges& changes) : real_(real), changes_(changes) {}

  bool queryVersion(VersionInfo& version) override { return real_.queryVersion(version); }
  bool queryRelease(ReleaseInfo& release) override { return real_.queryRelease(release); }
  Handle createProcessSnapshot() override { return real_.createProcessSnapshot(); }
  bool firstProcess(Handle snapshot, ProcessEntry& entry) override;
  bool nextProcess(Handle snapshot, ProcessEntry& entry) override;
  void closeSnapshot(Handle snapshot) override { real_.closeSnapshot(snapshot); }
  bool enumerateProcesses(ProcessId* ids, std::uint32_t capacity, std::uint32_t& count) override;
  std::uint32_t imageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool processStatusAvailable() override { return real_.processStatusAvailable(); }
  std::uint32_t nativeImageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool imageIdentity(Handle process, FileIdentity& identity) override;
  std::uint32_t mappedImagePath(Handle process, char* buffer, std::uint32_t capacity) override;
  Handle openProcess(ProcessId id, std::uint32_t access) override;
  bool terminateProcess(Handle process, std::uint32_t exitCode) override;
  std::uint32_t waitForProcess(Handle process, std::uint32_t milliseconds) override;
  void closeProcess(Handle process) override;
  void enumerateWindows(WindowVisitor visitor, std::uintptr_t context) override {
    real_.enumerateWindows(visitor, context);
  }
  ProcessId windowProcess(WindowHandle window) override { return real_.windowProcess(window); }
  bool postClose(WindowHandle window) override;
  WindowHandle findWindowByTitle(WindowHandle after, const char* title) override {
    return real_.findWindowByTitle(after, title);
  }
  bool ownImagePath(char* buffer, std::uint32_t capacity) override {
    return real_.ownImagePath(buffer, capacity);
  }
  Handle holdNamedMark(const char* name, bool& alreadyHeld) override {
    return real_.holdNamedMark(name, alreadyHeld);
  }
  void closeNamedMark(Handle mark) override { real_.closeNamedMark(mark); }
  Handle openOwnToken() override { return real_.openOwnToken(); }
  std::uint32_t enableShutdownPrivilege(Handle token) override {
    return real_.enableShutdownPrivilege(token);
  }
  void closeToken(Handle token) override { real_.closeToken(token); }
  // Stopping a shutdown's countdown changes nothing on the machine and keeps it up for the dry
  // run to finish: it is asked of the system.
  ShutdownAbort abortSystemShutdown() override { return real_.abortSystemShutdown(); }
  int restartSystem() override;
  [[noreturn]] void endProgram(int exitCode) override {
    real_.endProgram(exitCode);
    __builtin_unreachable();
  }

 private:
  struct OpenProcess {
    Handle handle = kNoHandle;
    ProcessId id = 0;
    std::uint32_t access = 0;
  };
  static constexpr int kOpenCapacity = 64;
  static constexpr int kEndedCapacity = 256;
  OpenProcess* find(Handle process);
  bool ended(ProcessId id) const;
  bool endedThrough(Handle process);
  bool nextShown(Handle snapshot, ProcessEntry& entry, bool found);

  Processes& real_;
  DryRunChanges& changes_;
  OpenProcess open_[kOpenCapacity];
  ProcessId ended_[kEndedCapacity] = {};
  int endedCount_ = 0;
};

class DryRunRegistry : public Registry {
 public:
  DryRunRegistry(Registry& real, DryRunChanges& changes) : real_(real), changes_(changes) {}

  // Opened with the rights a real run asks for (opening changes nothing), so that a key a real
  // run could not open to clean is not one this run pretends to clean.
  long openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) override;
  long queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                  std::uint32_t* size) override;
  long deleteValue(Handle key, const char* name) override;
  long closeKey(Handle key) override;

 private:
  struct OpenKey {
    Handle handle = kNoHandle;
    char path[kMaxPath] = {};  // "<root in hex>\<subkey>"
  };
  static constexpr int kOpenCapacity = 32;
  OpenKey* find(Handle key);
  // "<key's path>\<value name>" into `buffer`; false when the key is not one opened here or the
  // text does not fit.
  bool valuePath(Handle key, const char* name, char (&buffer)[kMaxPath * 2]);

  Registry& real_;
  DryRunChanges& changes_;
  OpenKey open_[kOpenCapacity];
  static constexpr int kDeletedCapacity = 64;
  char deleted_[kDeletedCapacity][kMaxPath * 2] = {};
  int deletedCount_ = 0;
};

class DryRunServices : public Services {
 public:
  DryRunServices(Services& real, DryRunChanges& changes) : real_(real), changes_(changes) {}

  Handle openManager(std::uint32_t access) override { return real_.openManager(access); }
  // Stopped services are left out, as they are no longer active.
  bool enumerateActive(Handle manager, void* buffer, std::uint32_t size, std::uint32_t& needed,
                       std::uint32_t& returned) override;
  // A deleted service cannot be opened again. Opened with the rights a real run asks for.
  Handle openService(Handle manager, const char* name, std::uint32_t access) override;
  bool queryBinaryPath(Handle service, char* path, std::size_t capacity) override {
    return real_.queryBinaryPath(service, path, capacity);
  }
  bool controlStop(Handle service, std::uint32_t& state) override;
  bool queryState(Handle service, std::uint32_t& state) override;
  bool deleteService(Handle service) override;
  bool closeHandle(Handle handle) override;

 private:
  struct OpenService {
    Handle handle = kNoHandle;
    char name[kMaxPath] = {};
  };
  static constexpr int kOpenCapacity = 16;
  static constexpr int kChangedCapacity = 32;
  OpenService* find(Handle service);
  static bool listed(const char (&names)[kChangedCapacity][kMaxPath], int count, const char* name);

  Services& real_;
  DryRunChanges& changes_;
  OpenService open_[kOpenCapacity];
  char stopped_[kChangedCapacity][kMaxPath] = {};
  int stoppedCount_ = 0;
  char deleted_[kChangedCapacity][kMaxPath] = {};
  int deletedCount_ = 0;
};

// The four over the parts of `real` that change things; the desktop and the clock are the real
// ones. Installed with platform::ScopedInstall(dryRun.os()).
class DryRun {
 public:
  explicit DryRun(const Os& real)
      : real_(real),
        files_(*real.files, changes_),
        processes_(*real.processes, changes_),
        registry_(*real.registry, changes_),
        services_(*real.services, changes_) {}
  DryRun(const DryRun&) = delete;
  DryRun& operator=(const DryRun&) = delete;

  Os os() {
    Os os = real_;
    os.files = &files_;
    os.processes = &processes_;
    os.registry = &registry_;
    os.services = &services_;
    return os;
  }
  const DryRunChanges& changes() const { return changes_; }

 private:
  Os real_;
  DryRunChanges changes_;
  DryRunFileSystem files_;
  DryRunProcesses processes_;
  DryRunRegistry registry_;
  DryRunServices services_;
};

}  // namespace platform
