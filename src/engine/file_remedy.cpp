#include "engine/file_remedy.h"

#include "platform/clock.h"
#include "platform/file_system.h"
#include "scan/scan_log.h"
#include "scan/scan_session.h"
#include "system/process_backends.h"

namespace {

// The memory scan has just tried to end the process; its image is let go a moment later.
constexpr std::uint32_t kWaitForEndedProcess = 1000;

void logDeleted(const char* path, const char* virusName) {
  ++scanSession().statistics.filesDeleted;
  appendLogLine("%s     %s deleted", path, virusName);
}

void logDeleteFailed(const char* path, const char* virusName) {
  appendLogLine("%s     %s Delete failed", path, virusName);
}

}  // namespace

void applyFileRemedy(const char* virusName, const char* path) {
  setCurrentFinding(virusName, path);
  deleteWormFile(path, virusName);
}

void applyMemoryRemedy(const char* entryVirusName, const char* path) {
  ScanSession& session = scanSession();
  session.remedyCode = session.memoryRemedyCode;
  appendLogLine("System Memory    W32/Blaster.Worm removed");
  platform::clock().sleep(kWaitForEndedProcess);
  deleteWormFile(path, entryVirusName);
}

void deleteWormFile(const char* path, const char* virusName) {
  platform::FileSystem& files = platform::files();
  // Read-only, hidden and system files cannot be deleted as they are.
  if (!files.setAttributes(path, platform::kAttributeArchive)) {
    logDeleteFailed(path, virusName);
    return;
  }
  if (files.deleteFile(path)) {
    logDeleted(path, virusName);
    return;
  }
  if (terminateProcessByFileName(path) == 0) {
    logDeleteFailed(path, virusName);
    // Once one removal is arranged a restart is needed, whatever later arrangements do.
    if (scheduleRemovalAtRestart(path) == 1) scanSession().restartRequired = 1;
    return;
  }
  if (files.deleteFile(path)) {
    logDeleted(path, virusName);
  } else {
    logDeleteFailed(path, virusName);
  }
}
