// The simulated machine's registry.
#pragma once

#include "platform/registry.h"
#include "platform/sim/sim_handles.h"

namespace sim {

class SimRegistry : public platform::Registry {
 public:
  explicit SimRegistry(SimHandles& handles) : handles_(handles) {}

 private:
  [[maybe_unused]] SimHandles& handles_;
};

}  // namespace sim
