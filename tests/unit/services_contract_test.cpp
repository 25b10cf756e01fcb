#include "contract/services_contract.h"

#include "platform/sim/simulated_windows.h"

namespace {

class SimulatedServices {
 public:
  ~SimulatedServices() { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  platform::Services& services() { return machine.services; }
  std::string name(const std::string& stem) const { return stem; }
  void addStopped(const std::string& name, const std::string& binaryPath) {
    machine.services.addService(name, binaryPath, platform::kServiceStopped);
  }
  std::string addRunning(const std::string& name) {
    std::string binaryPath = R"(C:\WINDOWS\system32\svchost.exe -k rpcss)";
    machine.services.addService(name, binaryPath);
    machine.services.setStopDelay(name, 1000);
    return binaryPath;
  }
  void pause(std::uint32_t milliseconds) { machine.clock.sleep(milliseconds); }

 private:
  sim::SimulatedWindows machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ServicesContract, SimulatedServices);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, RunningServicesContract, SimulatedServices);

}  // namespace
