#include "scan/scan_exit_status.h"

namespace {

int gravity(int status) {
  switch (status) {
    case kExitCouldNotRun:
      return 5;
    case kExitNeedsAttention:
      return 4;
    case kExitReportNotWritten:
      return 3;
    case kExitNotAllExamined:
      return 2;
    case kExitRemoved:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

int graverExitStatus(int a, int b) { return gravity(a) >= gravity(b) ? a : b; }

int scanExitStatus(const ScanSession& session) {
  const ScanStatistics& statistics = session.statistics;
  bool restartNeeded = session.restartRequired != 0 || session.memoryRestartRequired != 0;
  int status = kExitClean;
  if (statistics.filesInfected > 0 || restartNeeded) {
    bool allDeleted = statistics.filesDeleted >= statistics.filesInfected;
    status = allDeleted && !restartNeeded ? kExitRemoved : kExitNeedsAttention;
  }
  if (session.scanTerminated != 0 || statistics.notExamined > 0) {
    status = graverExitStatus(status, kExitNotAllExamined);
  }
  return status;
}
