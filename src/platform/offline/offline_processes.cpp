#include "platform/offline/offline_processes.h"

#include <cstdio>
#include <cstdlib>

#include "platform/offline/installation_release.h"

namespace platform::offline {
namespace {

// What a refused privilege adjustment leaves: ERROR_NOT_ALL_ASSIGNED.
constexpr std::uint32_t kErrorNotAllAssigned = 1300;

}  // namespace

bool OfflineProcesses::queryVersion(VersionInfo&) { return false; }

bool OfflineProcesses::queryRelease(ReleaseInfo& release) {
  return readInstallationRelease(registry_, kind_, release);
}

Handle OfflineProcesses::createProcessSnapshot() { return kNoHandle; }
bool OfflineProcesses::firstProcess(Handle, ProcessEntry&) { return false; }
bool OfflineProcesses::nextProcess(Handle, ProcessEntry&) { return false; }
void OfflineProcesses::closeSnapshot(Handle) {}

bool OfflineProcesses::enumerateProcesses(ProcessId*, std::uint32_t, std::uint32_t& count) {
  count = 0;
  return false;
}

std::uint32_t OfflineProcesses::imageFileName(Handle, char* buffer, std::uint32_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return 0;
}

// Nothing runs in an installation that is not running: the process-status list is there and
// names no process, and no other list is looked for.
bool OfflineProcesses::processStatusAvailable() { return true; }

std::uint32_t OfflineProcesses::nativeImageFileName(Handle process, char* buffer,
                                                    std::uint32_t capacity) {
  return imageFileName(process, buffer, capacity);
}

// No window shows, and this program is not the installation's.
WindowHandle OfflineProcesses::findWindowByTitle(WindowHandle, const char*) { return 0; }
bool OfflineProcesses::ownImagePath(char* buffer, std::uint32_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return false;
}
Handle OfflineProcesses::holdNamedMark(const char*, bool& alreadyHeld) {
  alreadyHeld = false;
  return kNoHandle;
}
void OfflineProcesses::closeNamedMark(Handle) {}

bool OfflineProcesses::imageIdentity(Handle, platform::FileIdentity&) { return false; }

std::uint32_t OfflineProcesses::mappedImagePath(Handle process, char* buffer,
                                                std::uint32_t capacity) {
  return imageFileName(process, buffer, capacity);
}

Handle OfflineProcesses::openProcess(ProcessId, std::uint32_t) { return kNoHandle; }
bool OfflineProcesses::terminateProcess(Handle, std::uint32_t) { return false; }
std::uint32_t OfflineProcesses::waitForProcess(Handle, std::uint32_t) { return kWaitFailed; }
void OfflineProcesses::closeProcess(Handle) {}

void OfflineProcesses::enumerateWindows(WindowVisitor, std::uintptr_t) {}
ProcessId OfflineProcesses::windowProcess(WindowHandle) { return 0; }
bool OfflineProcesses::postClose(WindowHandle) { return false; }

Handle OfflineProcesses::openOwnToken() { return kNoHandle; }
std::uint32_t OfflineProcesses::enableShutdownPrivilege(Handle) { return kErrorNotAllAssigned; }
void OfflineProcesses::closeToken(Handle) {}
ShutdownAbort OfflineProcesses::abortSystemShutdown() { return ShutdownAbort::kUnavailable; }
int OfflineProcesses::restartSystem() { return 0; }

void OfflineProcesses::endProgram(int exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

}  // namespace platform::offline
