#include "contract/registry_contract.h"

#include "platform/sim/simulated_windows.h"

namespace {

class SimulatedRegistry {
 public:
  SimulatedRegistry() { machine.registry.addKey(root(), base()); }
  ~SimulatedRegistry() { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  platform::Handle root() const { return platform::kRootCurrentUser; }
  std::string base() const { return R"(Software\VandrelContract)"; }
  platform::Registry& registry() { return machine.registry; }
  void setValue(const std::string& subkey, const std::string& name, std::uint32_t type,
                const std::string& bytes) {
    machine.registry.setValue(root(), base() + "\\" + subkey, name, type, bytes);
  }

 private:
  sim::SimulatedWindows machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, RegistryContract, SimulatedRegistry);

}  // namespace
