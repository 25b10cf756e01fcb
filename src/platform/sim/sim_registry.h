// The simulated machine's registry.
#pragma once

#include "platform/registry.h"
#include "platform/sim/sim_handles.h"

namespace sim {

class SimRegistry : public platform::Registry {
 public:
  explicit SimRegistry(SimHandles& handles) : handles_(handles) {}

  long openKey(platform::Handle, const char*, std::uint32_t, platform::Handle&) override {
    return platform::kErrorFileNotFound;
  }
  long queryValue(platform::Handle, const char*, std::uint32_t*, void*, std::uint32_t*) override {
    return platform::kErrorFileNotFound;
  }
  long deleteValue(platform::Handle, const char*) override { return platform::kErrorFileNotFound; }
  long closeKey(platform::Handle) override { return platform::kErrorSuccess; }

 private:
  [[maybe_unused]] SimHandles& handles_;
};

}  // namespace sim
