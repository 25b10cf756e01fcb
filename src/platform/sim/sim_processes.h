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

// Thrown by endProgram, so that a test sees the program end where the real one would exit.
struct ProgramEnded {
  int exitCode;
};

struct SimProcess {
  platform::ProcessId id = 0;
  std::string imagePath;
  bool canOpen = true;             // OpenProcess succeeds
  std::uint32_t deniedRights = 0;  // OpenProcess fails when asked for any of these
  bool canTerminate = true;        // TerminateProcess succeeds
  bool closesOnRequest = false;    // ends when one of its windows is asked to close
  std::string windowTitle;         // the title of its top-level windows
  bool imageReadable = true;       // GetModuleFileNameExA can read its image name
  bool imageKnown = true;          // the system can tell which file its image section maps
  int windows = 0;                 // top-level windows it owns
  bool exited = false;             // ended; the process object can still be opened, as the system's
  ImageMapping image;              // its image, kept from deletion while it runs
};

class SimProcesses : public platform::Processes {
 public:
  SimProcesses(SimHandles& handles, SimFileSystem& files, SimClock& clock);

  // The system: Windows 98 (platform id 1) or an NT version by its major number.
  void setWindows98() { setVersion({platform::kPlatformIdWindows, 4, 10}); }
  void setWindowsNt(std::uint32_t major) { setVersion({platform::kPlatformIdNt, major, 0}); }
  void setVersion(const platform::VersionInfo& version);
  // The release beyond the version: the service pack's name (CSDVersion) and whether the system
  // is a Terminal Server. The machine starts as XP with Service Pack 2, not a Terminal Server.
  void setServicePack(const std::string& name) { servicePack_ = name; }
  void setTerminalServer(platform::TerminalServer answer) { terminalServer_ = answer; }
  // Both version queries fail.
  void failVersionQuery() { versionFails_ = true; }
  // Which list services exist (both do by default).
  bool toolhelpPresent = true;
  bool psapiPresent = true;
  // Whether the native layer reads a process's image path (the NT family has one).
  bool nativeLayerPresent = true;
  // ToolHelp names an image by its file name alone, even on the 95/98/Me family, as Wine does.
  bool toolhelpNamesFilesOnly = false;
  // The program's rights: whether its token opens and holds the shutdown privilege.
  bool tokenOpens = true;
  bool shutdownPrivilegeGranted = true;
  // How many restarts the program asked for.
  int restartsRequested() const { return restarts_; }
  // A shutdown counting down (as the system starts one when the RPC service fails); whether the
  // system has the function that aborts one; and how many the program aborted. Aborting needs
  // the shutdown privilege enabled first.
  bool shutdownInProgress = false;
  bool abortShutdownPresent = true;
  int shutdownsAborted() const { return shutdownsAborted_; }

  // Starts a process running `imagePath`; the image cannot be deleted while it runs (when it is
  // a file of the simulated disks). Returns its id.
  platform::ProcessId start(const std::string& imagePath);
  // Starts a process as the system may: under the id of a process that has ended and to which
  // no handle is open any more, when there is one (the system reuses ids), else under a new id.
  platform::ProcessId startReusingId(const std::string& imagePath);
  SimProcess& process(platform::ProcessId id);
  bool isRunning(platform::ProcessId id) const;
  bool isRunning(const std::string& imagePath) const;
  // Ends a process as the system would: it is no longer listed and its image is let go; its
  // process object stays, so it can still be opened and waited for.
  void end(platform::ProcessId id);
  // Ends every running process of this image (a service that stops ends its process).
  void endImage(const std::string& imagePath);
  // Every process the program itself ended, in order.
  const std::vector<platform::ProcessId>& terminated() const { return terminated_; }
  std::string dump() const;

  // platform::Processes
  bool queryVersion(platform::VersionInfo& version) override;
  bool queryRelease(platform::ReleaseInfo& release) override;
  platform::Handle createProcessSnapshot() override;
  bool firstProcess(platform::Handle snapshot, platform::ProcessEntry& entry) override;
  bool nextProcess(platform::Handle snapshot, platform::ProcessEntry& entry) override;
  void closeSnapshot(platform::Handle snapshot) override;
  bool enumerateProcesses(platform::ProcessId* ids, std::uint32_t capacity,
                          std::uint32_t& count) override;
  std::uint32_t imageFileName(platform::Handle process, char* buffer,
                              std::uint32_t capacity) override;
  bool processStatusAvailable() override { return psapiPresent; }
  std::uint32_t nativeImageFileName(platform::Handle process, char* buffer,
                                    std::uint32_t capacity) override;
  bool imageIdentity(platform::Handle process, platform::FileIdentity& identity) override;
  std::uint32_t mappedImagePath(platform::Handle process, char* buffer,
                                std::uint32_t capacity) override;
  platform::Handle openProcess(platform::ProcessId id, std::uint32_t access) override;
  bool terminateProcess(platform::Handle process, std::uint32_t exitCode) override;
  std::uint32_t waitForProcess(platform::Handle process, std::uint32_t milliseconds) override;
  void closeProcess(platform::Handle process) override;
  void enumerateWindows(platform::WindowVisitor visitor, std::uintptr_t context) override;
  platform::ProcessId windowProcess(platform::WindowHandle window) override;
  bool postClose(platform::WindowHandle window) override;
  platform::WindowHandle findWindowByTitle(platform::WindowHandle after,
                                           const char* title) override;
  bool ownImagePath(char* buffer, std::uint32_t capacity) override;
  platform::Handle holdNamedMark(const char* name, bool& alreadyHeld) override;
  void closeNamedMark(platform::Handle mark) override;

  // This program's own image, as GetModuleFileNameA names it.
  std::string ownImage = R"(C:\VANDREL\vandrel.exe)";
  // Marks (named mutexes) that other programs hold.
  std::set<std::string> foreignMarks;
  platform::Handle openOwnToken() override;
  std::uint32_t enableShutdownPrivilege(platform::Handle token) override;
  void closeToken(platform::Handle token) override;
  platform::ShutdownAbort abortSystemShutdown() override;
  int restartSystem() override;
  [[noreturn]] void endProgram(int exitCode) override;

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
  std::uint32_t readImagePath(platform::Handle handle, char* buffer, std::uint32_t capacity) const;
  // The running process whose image section can be asked about through `handle`, or null: it
  // needs query and memory-reading access, an NT system with its native layer, and a process
  // whose image is known.
  const SimProcess* imageSectionOf(platform::Handle handle) const;

  SimHandles& handles_;
  SimFileSystem& files_;
  SimClock& clock_;
  platform::VersionInfo version_{platform::kPlatformIdNt, 5, 1};
  std::string servicePack_ = "Service Pack 2";
  platform::TerminalServer terminalServer_ = platform::TerminalServer::kNo;
  bool versionFails_ = false;
  platform::ProcessId nextId_ = 0x100;
  std::map<platform::ProcessId, SimProcess> table_;
  std::map<platform::Handle, Snapshot> snapshots_;
  std::map<platform::Handle, OpenProcess> processes_;
  std::map<platform::Handle, std::string> marks_;
  std::vector<platform::ProcessId> terminated_;
  int restarts_ = 0;
  bool shutdownPrivilegeEnabled_ = false;
  int shutdownsAborted_ = 0;
};

}  // namespace sim
