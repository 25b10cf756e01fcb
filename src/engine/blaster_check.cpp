#include "engine/blaster_check.h"

#include "common/bounded_text.h"
#include "engine/file_remedy.h"
#include "engine/registry_cleanup.h"
#include "engine/worm_file.h"
#include "scan/not_examined.h"
#include "scan/scan_session.h"

int checkBlasterFile(const char* entryVirusName, const char* path) {
  ScanSession& session = scanSession();
  // The memory scan walks the image of a worm process it has just tried to end once more, with
  // the remedy preselected: that walk removes the file and identifies nothing.
  if (session.memoryRemedyCode != 0 && session.scanDialogWindow != 0) {
    applyMemoryRemedy(entryVirusName, path);
    return 0;
  }

  // The file stays open from the examination to the remedy, which acts through that handle.
  WormFile file;
  if (!file.examine(path)) {
    platform::OpenFailure failure = file.openFailure();
    // The file walk names what it could not open; a process image that cannot be read is the
    // memory scan's to pass over.
    if (session.inMemoryScan == 0 && failure != platform::OpenFailure::kNone) {
      bool held = failure == platform::OpenFailure::kInUse;
      noteNotExamined(path, held ? "held open by another program" : "it cannot be opened", held);
    }
    return 0;
  }
  if (!file.isTheScannedImage()) return 0;
  const char* virusName = file.record().virusName;

  session.statistics.filesInfected += 1;
  cleanWormRegistry(virusName);

  if (session.inMemoryScan == 1) {
    // The finding is recorded for the memory scan, which ends the process before the file is
    // removed; the remedy selection is the memory scan's to make.
    text::copy(session.currentVirusName, virusName);
    text::copy(session.statusText, path);
    session.wormFileConfirmed = 1;
    return 1;
  }
  applyFileRemedy(file);
  return 1;
}
