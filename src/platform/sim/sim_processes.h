// The simulated machine's processes.
#pragma once

#include "platform/processes.h"
#include "platform/sim/sim_handles.h"

namespace sim {

class SimProcesses : public platform::Processes {
 public:
  explicit SimProcesses(SimHandles& handles) : handles_(handles) {}

 private:
  [[maybe_unused]] SimHandles& handles_;
};

}  // namespace sim
