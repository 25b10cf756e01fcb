#include "system/memory_scan.h"

#include <cstring>

#include "common/bounded_text.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "scan/directory_walker.h"
#include "scan/scan_session.h"
#include "system/process_backends.h"
#include "system/restart.h"
#include "system/service_control.h"

namespace {

// Has the worm check examine one process image. Returns the walk's result (0 when the image
// cannot be examined) and tells whether this very examination confirmed a worm file. Only a
// full path on a fixed drive of this machine is examined: a bare file name (as some systems'
// process lists give) would be looked up in the current folder, where a different file could
// stand, and a network path, which the process can write into its own memory, would have the
// scan reach another machine with its rights.
int examineImage(const char* imagePath, bool& worm) {
  ScanSession& session = scanSession();
  session.wormFileConfirmed = 0;
  int result = 0;
  if (isOnFixedDrive(imagePath) && platform::files().isReadable(imagePath)) {
    result = examineFile(imagePath);
  }
  worm = session.wormFileConfirmed == 1;
  return result;
}

// Walks the image of an ended worm process again so that the worm check removes it.
int walkImageAgain(const char* imagePath) {
  ScanSession& session = scanSession();
  session.memoryRemedyCode = session.remedyCode;
  int result = examineFile(imagePath);
  session.memoryRemedyCode = 0;
  return result;
}

// The scan result is that of the last record, as a 16-bit value.
int asScanResult(int recordResult) { return static_cast<std::int16_t>(recordResult); }

// Ends the process through the handle it was listed by, so that no other process that took its
// id meanwhile is ended. False when the handle does not carry the right, or the end fails.
bool terminate(const ProcessRecord& record) {
  return record.canTerminate && platform::processes().terminateProcess(record.process.get(), 0);
}

void offerRestartAndEnd() {
  ScanSession& session = scanSession();
  if (session.memoryRestartRequired == 1) {
    int answer = platform::desktop().messageBox(
        0,
        "W32/Blaster.Worm found in memory! registry entries created by the worm are removed. "
        "You must restart the computer and run this program to continue scanning.\n\n"
        "Restart the computer now?",
        session.appCaption, platform::kBoxOkCancel);
    if (answer == platform::kAnswerOk) restartComputer();
  }
  platform::processes().endProgram(0);
}

}  // namespace

void serviceNameFromPath(const char* imagePath, char (&name)[260]) {
  text::copy(name, text::fileNamePart(imagePath));
  char* dot = std::strrchr(name, '.');
  if (dot != nullptr) *dot = '\0';
}

int scanMemoryToolhelp() {
  ProcessList list;
  if (!listProcessesToolhelp(list)) return 0;
  ScanSession& session = scanSession();
  int result = 0;
  for (const ProcessRecord& record : list) {
    bool worm = false;
    result = examineImage(record.imagePath, worm);
    if (!worm) continue;
    char imagePath[sizeof record.imagePath];
    text::copy(imagePath, record.imagePath);
    setCurrentFinding(session.currentVirusName, "System Memory");
    // Whether or not it ended, the image is walked again: the removal then ends the process by
    // its file name if it still runs, or arranges the deletion at restart.
    terminate(record);
    result = walkImageAgain(imagePath);
  }
  return asScanResult(result);
}

int scanMemoryPsapi() {
  ProcessList list;
  // NT 4.0 as installed has no process-status library; its performance data name the processes.
  bool listed = platform::processes().processStatusAvailable() ? listProcessesPsapi(list)
                                                               : listProcessesPerfData(list);
  if (!listed) return 0;
  ScanSession& session = scanSession();
  int result = 0;
  for (const ProcessRecord& record : list) {
    bool worm = false;
    result = examineImage(record.imagePath, worm);
    if (!worm) continue;
    const char* imagePath = record.imagePath;
    setCurrentFinding(session.currentVirusName, imagePath);

    // The first termination; a handle that ended its process stays open until the scan ends.
    if (terminate(record)) result = 1;

    // The second, which tells a worm that resists its end.
    bool walkedAgain = false;
    if (terminate(record)) {
      result = walkImageAgain(imagePath);
      walkedAgain = true;
    } else if (int generation = getNtGeneration(); generation == 5 || generation == 6) {
      // A worm that resists termination may be kept alive as a service. The service named
      // after the image is deleted only when it runs the image: another program's service
      // that merely shares the name is not the worm's.
      char serviceName[260];
      serviceNameFromPath(imagePath, serviceName);
      bool wormService = serviceRunsImage(serviceName, imagePath);
      if (stopServicesByImagePath(imagePath, 1) != 0) {
        if (wormService) removeService(serviceName, 0);
        result = walkImageAgain(imagePath);
        walkedAgain = true;
      } else {
        if (wormService) removeService(serviceName, record.canTerminate ? 0 : 1);
        session.memoryRestartRequired = 1;
      }
    }
    if (!walkedAgain && result != 0) result = walkImageAgain(imagePath);
  }
  return asScanResult(result);
}

void runMemoryScan() {
  ScanSession& session = scanSession();
  session.memoryScanPlatform = getPlatformClass();
  session.inMemoryScan = 1;
  if (session.memoryScanPlatform == kPlatformWindows9x) {
    scanMemoryToolhelp();
  } else if (session.memoryScanPlatform == kPlatformNt) {
    // The program ends here only for a worm process that could be neither ended nor stopped as
    // a service; what another process's image path makes the examination return is no reason
    // to skip the file walk.
    scanMemoryPsapi();
    if (session.memoryRestartRequired == 1) offerRestartAndEnd();
  }
  session.inMemoryScan = 0;
}
