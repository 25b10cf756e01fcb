// An in-memory Windows machine for tests. Constructing one installs it as the platform;
// destroying it puts back what was installed before. Tests build the machine by adding state
// (files, windows, answers), run the real logic, and look at what changed.
#pragma once

#include <string>

#include "platform/os.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_handles.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_services.h"

namespace sim {

class SimulatedWindows {
 public:
  SimulatedWindows();
  SimulatedWindows(const SimulatedWindows&) = delete;
  SimulatedWindows& operator=(const SimulatedWindows&) = delete;

  SimHandles handles;
  SimClock clock;
  SimFileSystem files{handles};
  SimRegistry registry{handles};
  SimProcesses processes{handles, files, clock};
  SimServices services{handles, clock};
  SimDesktop desktop;

  std::size_t openHandleCount() const { return handles.openCount(); }
  // The whole machine as text, for the message of a failed assertion.
  std::string dump() const;

 private:
  platform::ScopedInstall installed_{{&files, &registry, &processes, &services, &desktop, &clock}};
};

}  // namespace sim
