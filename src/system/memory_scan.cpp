#include "system/memory_scan.h"

#include "scan/scan_session.h"

void runMemoryScan() {
  // The process back-ends are not wired in yet: no image is examined.
  scanSession().inMemoryScan = 0;
}
