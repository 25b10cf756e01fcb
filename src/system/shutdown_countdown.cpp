#include "system/shutdown_countdown.h"

#include "platform/processes.h"
#include "scan/scan_session.h"
#include "system/process_backends.h"

bool abortShutdownCountdown() {
  // Only the NT family has the RPC service whose failure starts the countdown.
  if (getPlatformClass() != kPlatformNt) return false;
  platform::Processes& processes = platform::processes();
  {
    // Without the privilege the abort is refused; it is still asked, and the refusal says
    // nothing of whether a shutdown was counting down.
    platform::ScopedToken token(processes.openOwnToken());
    if (token) processes.enableShutdownPrivilege(token.get());
  }
  if (processes.abortSystemShutdown() != platform::ShutdownAbort::kAborted) return false;
  scanSession().shutdownAborted = 1;
  return true;
}
