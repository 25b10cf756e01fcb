// Processes: the version queries, the two process-list services (ToolHelp on the 95/98/Me family,
// the process-status library on NT), opening, ending and waiting for a process, and the
// top-level windows of a process.
#pragma once

#include <cstdint>

#include "platform/file_system.h"
#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// What the logic needs of OSVERSIONINFOA.
struct VersionInfo {
  std::uint32_t platformId = 0;  // 1: 95/98/Me family, 2: NT family
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
};
constexpr std::uint32_t kPlatformIdWindows = 1;
constexpr std::uint32_t kPlatformIdNt = 2;

// Whether an NT system is a Terminal Server, as its product suite says.
enum class TerminalServer : std::uint8_t { kNo, kYes, kUnknown };

// What tells apart the releases of one Windows version: whether the flaw that the worm enters
// by is fixed depends on them.
struct ReleaseInfo {
  VersionInfo version;
  // The service pack as the system names it (CSDVersion, such as "Service Pack 4"); empty when
  // none is installed. The 95/98/Me family keeps other text there.
  char servicePack[128] = {};
  TerminalServer terminalServer = TerminalServer::kUnknown;
};

// What the logic needs of a ToolHelp process entry.
struct ProcessEntry {
  ProcessId id = 0;
  // The image: the full path on the 95/98/Me family, the file name alone on NT.
  char exeFile[kMaxPath] = {};
};

// Access rights the logic asks for.
constexpr std::uint32_t kProcessTerminate = 0x0001;
constexpr std::uint32_t kProcessQueryInformation = 0x0400;
constexpr std::uint32_t kProcessVmRead = 0x0010;
constexpr std::uint32_t kSynchronize = 0x00100000;

// Results of a wait.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

using WindowVisitor = bool (*)(WindowHandle window, std::uintptr_t context);

// What asking the system to abort a shutdown came to.
enum class ShutdownAbort : std::uint8_t {
  kAborted,         // a shutdown was counting down, and it is stopped
  kNoneInProgress,  // nothing was counting down
  kUnavailable,     // the system has no such function (the 95/98/Me family)
  kRefused,         // any other failure: the shutdown privilege not held, ...
};

class Processes {
 public:
  virtual ~Processes() = default;

  // GetVersionExA; false when the query fails.
  virtual bool queryVersion(VersionInfo& version) = 0;
  // The release of the Windows the scan is about: this machine's, or, for an installation that
  // is not running, the installation's. False when not even its version can be told; a part
  // that cannot be told is left empty or unknown.
  virtual bool queryRelease(ReleaseInfo& release) = 0;

  // ToolHelp, loaded by name when first used. kNoHandle when the library or one of its functions
  // is missing, or the snapshot cannot be taken.
  virtual Handle createProcessSnapshot() = 0;
  // Process32First / Process32Next: false at the end of the snapshot, on failure, or when the
  // function is missing.
  virtual bool firstProcess(Handle snapshot, ProcessEntry& entry) = 0;
  virtual bool nextProcess(Handle snapshot, ProcessEntry& entry) = 0;
  virtual void closeSnapshot(Handle snapshot) = 0;

  // EnumProcesses from the process-status library, loaded by name when first used. Fills up to
  // `capacity` ids and sets `count`; false when the library or function is missing or the call
  // fails.
  virtual bool enumerateProcesses(ProcessId* ids, std::uint32_t capacity, std::uint32_t& count) = 0;
  // GetModuleFileNameExA for the process's main module: the length copied into `buffer`
  // (zero-terminated), or 0 on failure or when the function is missing.
  virtual std::uint32_t imageFileName(Handle process, char* buffer, std::uint32_t capacity) = 0;
  // Whether the process-status library and its two functions can be had (NT 4.0 as installed
  // lacks the library).
  virtual bool processStatusAvailable() = 0;
  // The image path that `process` (opened to query and read it) was started with, read through
  // the NT family's native layer: the length copied into `buffer`, or 0 on failure or where
  // there is no native layer.
  virtual std::uint32_t nativeImageFileName(Handle process, char* buffer,
                                            std::uint32_t capacity) = 0;

  // The file that the process's image section maps: the program it actually runs, wherever that
  // file lies now. Not whatever lies at the path it was started from, which another user may
  // have renamed it from and put another file at; the start path is no evidence of the image.
  // `process` must be open to query it and read its memory. Returns false on failure, and when
  // it cannot be told: on the 95/98/Me family, without the native layer, when the image's file
  // moved or was replaced while it was asked, or while any handle with delete access is open on
  // it (the file is held in place while it is asked, so ask before opening it for removal).
  // `identity` is untouched then. Compare it with sameFile to what a path opens.
  virtual bool imageIdentity(Handle process, FileIdentity& identity) = 0;
  // A path to that same file as its name is now: exactly that name where the code page spells
  // it, else its short (8.3) form. The length copied into `buffer` (zero-terminated), or 0 with
  // `buffer` empty on failure, when it cannot be told (as above), or when no path of the code
  // page reaches the file. Only a route: the name may change once it has been read, so confirm
  // what it opens with imageIdentity before acting on it.
  virtual std::uint32_t mappedImagePath(Handle process, char* buffer, std::uint32_t capacity) = 0;

  // OpenProcess (not inheritable); kNoHandle on failure.
  virtual Handle openProcess(ProcessId id, std::uint32_t access) = 0;
  virtual bool terminateProcess(Handle process, std::uint32_t exitCode) = 0;
  // WaitForSingleObject: kWaitObject0 when the process has ended, kWaitTimeout, or kWaitFailed.
  virtual std::uint32_t waitForProcess(Handle process, std::uint32_t milliseconds) = 0;
  virtual void closeProcess(Handle process) = 0;

  // EnumWindows over the top-level windows; the visitor returns false to stop.
  virtual void enumerateWindows(WindowVisitor visitor, std::uintptr_t context) = 0;
  // GetWindowThreadProcessId: the process that owns the window (0 when it cannot be told).
  virtual ProcessId windowProcess(WindowHandle window) = 0;
  // PostMessageA of WM_CLOSE.
  virtual bool postClose(WindowHandle window) = 0;
  // FindWindowExA among the top-level windows: the next one after `after` (0: the first) whose
  // title is `title`, or 0 when there is none.
  virtual WindowHandle findWindowByTitle(WindowHandle after, const char* title) = 0;

  // The full path of this program's own image (GetModuleFileNameA); false when it cannot be had
  // whole.
  virtual bool ownImagePath(char* buffer, std::uint32_t capacity) = 0;
  // Creates, or opens when it exists already, the named mark (a mutex) that running copies of
  // this program hold; `alreadyHeld` tells which. kNoHandle on failure. On systems with Terminal
  // Services an unprefixed name lies in the session's own namespace.
  virtual Handle holdNamedMark(const char* name, bool& alreadyHeld) = 0;
  virtual void closeNamedMark(Handle mark) = 0;

  // This process's access token, opened to adjust privileges; kNoHandle on failure.
  virtual Handle openOwnToken() = 0;
  // Enables the shutdown privilege in the token. Returns the error code the adjustment left:
  // 0 when the privilege is held, nonzero (for example "not all assigned") when it is not.
  virtual std::uint32_t enableShutdownPrivilege(Handle token) = 0;
  virtual void closeToken(Handle token) = 0;
  // AbortSystemShutdownA on the local machine, looked up at run time: stops the countdown of a
  // shutdown that another program (or the system, when a service it needs has failed) has
  // started. The caller enables the shutdown privilege first.
  virtual ShutdownAbort abortSystemShutdown() = 0;
  // Asks the system to restart at once, closing programs without asking them. Nonzero when the
  // system accepted.
  virtual int restartSystem() = 0;
  // Ends this program at once with `exitCode`.
  [[noreturn]] virtual void endProgram(int exitCode) = 0;
};

Processes& processes();

inline void closeProcessHandle(Handle handle) { processes().closeProcess(handle); }
using ScopedProcess = ScopedSeamHandle<closeProcessHandle>;

inline void closeSnapshotHandle(Handle handle) { processes().closeSnapshot(handle); }
using ScopedSnapshot = ScopedSeamHandle<closeSnapshotHandle>;

inline void closeTokenHandle(Handle handle) { processes().closeToken(handle); }
using ScopedToken = ScopedSeamHandle<closeTokenHandle>;

inline void closeNamedMarkHandle(Handle handle) { processes().closeNamedMark(handle); }
using ScopedNamedMark = ScopedSeamHandle<closeNamedMarkHandle>;

}  // namespace platform
