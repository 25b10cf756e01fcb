#include "system/process_backends.h"

int getPlatformClass() {
  // The version query is not wired in yet.
  return kPlatformUnknown;
}

int terminateProcessByFileName(const char* path) {
  // The process back-ends are not wired in yet.
  return 1;
}
