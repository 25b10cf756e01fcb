#include "system/restart.h"

#include "platform/processes.h"
#include "system/process_backends.h"

int restartComputer() {
  platform::Processes& processes = platform::processes();
  // The 95/98/Me family has no privileges to ask for.
  if (getPlatformClass() == kPlatformWindows9x) return processes.restartSystem();

  platform::ScopedToken token(processes.openOwnToken());
  if (!token) return 0;
  std::uint32_t error = processes.enableShutdownPrivilege(token.get());
  if (error != 0) return static_cast<int>(error);
  return processes.restartSystem();
}
