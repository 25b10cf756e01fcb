// The process-wide choice of platform implementation. main() installs the Win32 one; each test
// installs a fresh SimulatedWindows. The accessors (files(), desktop(), ...) read it.
#pragma once

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/services.h"

namespace platform {

struct Os {
  FileSystem* files = nullptr;
  Registry* registry = nullptr;
  Processes* processes = nullptr;
  Services* services = nullptr;
  Desktop* desktop = nullptr;
  Clock* clock = nullptr;
};

// Installs `os` and returns the one it replaces. Every part must be set.
Os install(const Os& os);
const Os& installed();

// Installs `os` for as long as it lives, then puts back the implementation it replaced.
class ScopedInstall {
 public:
  explicit ScopedInstall(const Os& os) : previous_(install(os)) {}
  ~ScopedInstall() { install(previous_); }
  ScopedInstall(const ScopedInstall&) = delete;
  ScopedInstall& operator=(const ScopedInstall&) = delete;

 private:
  Os previous_;
};

}  // namespace platform
