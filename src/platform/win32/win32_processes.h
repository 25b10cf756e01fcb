// The process part of the seam on Windows. ToolHelp and the process-status library are looked
// up by name when first used, so that a system without one of them loses only that service.
#pragma once

#include "platform/processes.h"

namespace platform::win32 {

class Win32Processes : public Processes {
 public:
  bool queryVersion(VersionInfo& version) override;
  bool queryRelease(ReleaseInfo& release) override;
  Handle createProcessSnapshot() override;
  bool firstProcess(Handle snapshot, ProcessEntry& entry) override;
  bool nextProcess(Handle snapshot, ProcessEntry& entry) override;
  void closeSnapshot(Handle snapshot) override;
  bool enumerateProcesses(ProcessId* ids, std::uint32_t capacity, std::uint32_t& count) override;
  std::uint32_t imageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool processStatusAvailable() override;
  std::uint32_t nativeImageFileName(Handle process, char* buffer, std::uint32_t capacity) override;
  bool imageIdentity(Handle process, FileIdentity& identity) override;
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
  ShutdownAbort abortSystemShutdown() override;
  int restartSystem() override;
  [[noreturn]] void endProgram(int exitCode) override;
};

}  // namespace platform::win32
