// The process part of the seam for an installation that is not running: nothing runs offline.
// The version query fails, so the platform class is unknown (0) and every remedy acts through
// the file's own handle; the process lists are empty, no process can be opened or ended, and
// nothing asks the system to restart. The release query tells the installation's release.
#pragma once

#include "platform/offline/installation.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace platform::offline {

class OfflineProcesses : public Processes {
 public:
  // `registry` serves the hives of the installation, which is of `kind`.
  OfflineProcesses(Registry& registry, InstallationKind kind) : registry_(registry), kind_(kind) {}

  // False: the installation's version is not this machine's, and none is running.
  bool queryVersion(VersionInfo& version) override;
  // The installation's release, read from its hives (see installation_release.h).
  bool queryRelease(ReleaseInfo& release) override;

  Handle createProcessSnapshot() override;
  bool firstProcess(Handle snapshot, ProcessEntry& entry) override;
  bool nextProcess(Handle snapshot, ProcessEntry& entry) override;
  void closeSnapshot(Handle snapshot) override;

  bool enumerateProcesses(ProcessId* ids, std::uint32_t capacity, std::uint32_t& count) override;
  std::uint32_t imageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool processStatusAvailable() override;
  std::uint32_t nativeImageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool imageIdentity(Handle process, platform::FileIdentity& identity) override;
  std::uint32_t mappedImagePath(Handle process, char* buffer, std::uint32_t capacity) override;

  Handle openProcess(ProcessId id, std::uint32_t access) override;
  bool terminateProcess(Handle process, std::uint32_t exitCode) override;
  std::uint32_t waitForProcess(Handle process, std::uint32_t milliseconds) override;
  void closeProcess(Handle process) override;

  void enumerateWindows(WindowVisitor visitor, std::uintptr_t context) override;
  ProcessId windowProcess(WindowHandle window) override;
  bool postClose(WindowHandle window) override;
  WindowHandle findWindowByTitle(WindowHandle after, const char* title) override;
  bool ownImagePath(char* buffer, std::uint32_t capacity) override;
  Handle holdNamedMark(const char* name, bool& alreadyHeld) override;
  void closeNamedMark(Handle mark) override;

  Handle openOwnToken() override;
  std::uint32_t enableShutdownPrivilege(Handle token) override;
  void closeToken(Handle token) override;
  // kUnavailable: nothing counts down on a machine that is not running.
  ShutdownAbort abortSystemShutdown() override;
  // 0: this program never restarts the machine it runs on for an installation it repairs.
  int restartSystem() override;
  // Only the memory scan ends the program, and no memory scan runs offline; should anything
  // ask all the same, the program ends with `exitCode` after its output is flushed.
  [[noreturn]] void endProgram(int exitCode) override;

 private:
  Registry& registry_;
  InstallationKind kind_;
};

}  // namespace platform::offline
