// The simulated machine's services.
#pragma once

#include "platform/services.h"
#include "platform/sim/sim_handles.h"

namespace sim {

class SimServices : public platform::Services {
 public:
  explicit SimServices(SimHandles& handles) : handles_(handles) {}

 private:
  [[maybe_unused]] SimHandles& handles_;
};

}  // namespace sim
