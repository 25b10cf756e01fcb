// The simulated machine's processes: a version, a process table whose processes hold their
// image files open, the two list services, and top-level windows that belong to processes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_handles.h"

namespace sim {

struct SimProcess {
  platform::ProcessId id = 0;
  std::string imagePath;
  bool canOpen = true;        // OpenProcess succeeds
  bool canTerminate = true;   // TerminateProcess succeeds
  bool closesOnRequest = false;  // ends when one of its windows is asked to close
  bool imageReadable = true;  // GetModuleFileNameExA can read its image name
  int windows = 0;            // top-level windows it owns
};

class SimProcesses : public platform::Processes {
 public:
  SimProcesses(SimHandles& handles, SimFileSystem& files, SimClock& clock);

  // The system: Windows 98 (platform id 1) or an NT version by its major number.
  void setWindows98() { version_ = {platform::kPlatformIdWindows, 4, 10}; }
  void setWindowsNt(std::uint32_t major) { version_ = {platform::kPlatformIdNt, major, 0}; }
  void setVersion(const platform::VersionInfo& version) { version_ = version; }
  void failVersionQuery() { versionFails_ = true; }
  // Which list services exist (both do by default).
  bool toolhelpPresent = true;
  bool psapiPresent = true;

  // Starts a process running `imagePath`; the image is held open while it runs (when it is a
  // file of the simulated disks). Returns its id.
  platform::ProcessId start(const std::string& imagePath);
  SimProcess& process(platform::ProcessId id);
  bool isRunning(platform::ProcessId id) const { return running_.count(id) != 0; }
  bool isRunning(const std::string& imagePath) const;
  // Ends a process as the system would (it is no longer listed; its image is let go).
  void end(platform::ProcessId id);
  // Every process the program itself ended, in order.
  const std::vector<platform::ProcessId>& terminated() const { return terminated_; }
  std::string dump() const;

  // platform::Processes
  bool queryVersion(platform::VersionInfo& version) override;
  platform::Handle createProcessSnapshot() override;
  bool firstProcess(platform::Handle snapshot, platform::ProcessEntry& entry) override;
  bool nextProcess(platform::Handle snapshot, platform::ProcessEntry& entry) override;
  void closeSnapshot(platform::Handle snapshot) override;
  bool enumerateProcesses(platform::ProcessId* ids, std::uint32_t capacity,
                          std::uint32_t& count) override;
  std::uint32_t imageFileName(platform::Handle process, char* buffer,
                              std::uint32_t capacity) override;
  platform::Handle openProcess(platform::ProcessId id, std::uint32_t access) override;
  bool terminateProcess(platform::Handle process, std::uint32_t exitCode) override;
  std::uint32_t waitForProcess(platform::Handle process, std::uint32_t milliseconds) override;
  void closeProcess(platform::Handle process) override;
  void enumerateWindows(platform::WindowVisitor visitor, std::uintptr_t context) override;
  platform::ProcessId windowProcess(platform::WindowHandle window) override;
  bool postClose(platform::WindowHandle window) override;

 private:
  struct Snapshot {
    std::vector<platform::ProcessEntry> entries;
    std::size_t next = 0;
  };
  struct OpenProcess {
    platform::ProcessId id;
    std::uint32_t access;
  };
  platform::ProcessEntry entryOf(const SimProcess& process) const;
  const OpenProcess* opened(platform::Handle handle) const;

  SimHandles& handles_;
  SimFileSystem& files_;
  SimClock& clock_;
  platform::VersionInfo version_{platform::kPlatformIdNt, 5, 1};
  bool versionFails_ = false;
  platform::ProcessId nextId_ = 0x100;
  std::map<platform::ProcessId, SimProcess> running_;
  std::map<platform::Handle, Snapshot> snapshots_;
  std::map<platform::Handle, OpenProcess> processes_;
  std::vector<platform::ProcessId> terminated_;
  // Window handles: process id * 0x100 + window number.
};

}  // namespace sim
