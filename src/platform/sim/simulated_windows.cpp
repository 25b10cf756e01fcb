#include "platform/sim/simulated_windows.h"

namespace sim {

SimulatedWindows::SimulatedWindows() {
  // A service runs as the process of its binary; stopping it ends that process.
  services.onStopped([this](const std::string& binaryPath) { processes.endImage(binaryPath); });
}

std::string SimulatedWindows::dump() const {
  return files.dump() + registry.dump() + processes.dump() + services.dump() +
         handles.describeOpen() + "virtual time: " + std::to_string(clock.now()) + " ms\n";
}

}  // namespace sim
