#include "scan/scan_exit_status.h"

int scanExitStatus(const ScanSession& session) {
  const ScanStatistics& statistics = session.statistics;
  bool restartNeeded = session.restartRequired != 0 || session.memoryRestartRequired != 0;
  if (statistics.filesInfected == 0 && !restartNeeded) return kExitClean;
  bool allDeleted = statistics.filesDeleted >= statistics.filesInfected;
  return allDeleted && !restartNeeded ? kExitRemoved : kExitNeedsAttention;
}
