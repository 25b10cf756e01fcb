#include "contract/processes_contract.h"

#include "platform/sim/simulated_windows.h"

namespace {

class SimulatedProcesses {
 public:
  ~SimulatedProcesses() { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  std::string folder() const { return R"(C:\CONTRACT)"; }
  platform::ProcessId start(const std::string& name) {
    machine.files.addFile(folder() + "\\" + name, "MZ");
    return machine.processes.start(folder() + "\\" + name);
  }
  platform::Processes& processes() { return machine.processes; }
  platform::FileSystem& files() { return machine.files; }
  bool rename(const std::string& from, const std::string& to) {
    return machine.files.rename(from, to);
  }
  bool plant(const std::string& path) {
    machine.files.addFile(path, "MZ look-alike");
    return true;
  }
  static constexpr bool kImageNamesFollowRenames = true;

 private:
  sim::SimulatedWindows machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ProcessesContract, SimulatedProcesses);

}  // namespace
