#include "engine/file_remedy.h"

#include "engine/worm_file.h"
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
  appendFindingLine(path, "     ", virusName, "deleted");
}

void logDeleteFailed(const char* path, const char* virusName) {
  appendFindingLine(path, "     ", virusName, "Delete failed");
}

void noteScheduled(int scheduled) {
  // Once one removal is arranged a restart is needed, whatever later arrangements do.
  if (scheduled == 1) scanSession().restartRequired = 1;
}

// The 95/98/Me family, which knows no handle that removes a file: every step names the path.
void deleteByPath(const char* path, const char* virusName) {
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
  if (terminateProcessByFileName(path, nullptr) == 0) {
    logDeleteFailed(path, virusName);
    noteScheduled(scheduleInWininit(path));
    return;
  }
  if (files.deleteFile(path)) {
    logDeleted(path, virusName);
  } else {
    logDeleteFailed(path, virusName);
  }
}

// Replaces the attributes and deletes the file through its handle (one opened again after its
// holder ended needs both); the file goes with the handle.
bool removeThroughHandle(WormFile& file) {
  platform::FileSystem& files = platform::files();
  if (!files.setAttributesOf(file.handle(), platform::kAttributeArchive) ||
      !files.deleteOpenFile(file.handle())) {
    return false;
  }
  file.close();
  return true;
}

// The NT family: every step acts on the open file that was identified.
void deleteThroughHandle(WormFile& file, const char* virusName) {
  platform::FileSystem& files = platform::files();
  const char* path = file.path();
  // A second name may have been made for a file that is not the worm's to lose: it stays, and
  // its line says so.
  if (file.hasSecondName()) {
    logDeleteFailed(path, virusName);
    return;
  }
  if (file.removable()) {
    // Read-only, hidden and system files cannot be deleted as they are.
    if (!files.setAttributesOf(file.handle(), platform::kAttributeArchive)) {
      logDeleteFailed(path, virusName);
      return;
    }
    if (files.deleteOpenFile(file.handle())) {
      file.close();
      logDeleted(path, virusName);
      return;
    }
  }
  // In use: the image of a running program, or held by one that did not share deletion. Only a
  // process that runs this very file is ended.
  if (terminateProcessByFileName(path, file.hasIdentity() ? &file.identity() : nullptr) == 0) {
    logDeleteFailed(path, virusName);
    noteScheduled(scheduleRemovalAtRestart(file));
    return;
  }
  // The program is gone, and time has passed: the file is removed only if it is still the one
  // identified, and identified still.
  if (file.confirmForRemoval() && removeThroughHandle(file)) {
    logDeleted(path, virusName);
  } else {
    logDeleteFailed(path, virusName);
  }
}

}  // namespace

void applyFileRemedy(WormFile& file) {
  setCurrentFinding(file.record().virusName, file.path());
  deleteWormFile(file, file.record().virusName);
}

void applyMemoryRemedy(const char* entryVirusName, const char* path) {
  ScanSession& session = scanSession();
  session.remedyCode = session.memoryRemedyCode;
  appendFindingLine("System Memory", "    ", "W32/Blaster.Worm", "removed");
  platform::clock().sleep(kWaitForEndedProcess);
  if (getPlatformClass() == kPlatformWindows9x) {
    deleteByPath(path, entryVirusName);
    return;
  }
  // A second has passed since the image was examined: it is removed only through a handle
  // that identifies it again.
  WormFile file;
  if (!file.examine(path) || !file.isTheScannedImage()) {
    logDeleteFailed(path, entryVirusName);
    return;
  }
  deleteWormFile(file, entryVirusName);
}

void deleteWormFile(WormFile& file, const char* virusName) {
  if (getPlatformClass() == kPlatformWindows9x) {
    // The family deletes no file that anyone has open, the check included.
    file.close();
    deleteByPath(file.path(), virusName);
    return;
  }
  deleteThroughHandle(file, virusName);
}
