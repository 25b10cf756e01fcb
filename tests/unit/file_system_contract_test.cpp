#include "contract/file_system_contract.h"

#include "platform/sim/simulated_windows.h"

namespace {

class SimulatedEnvironment {
 public:
  SimulatedEnvironment() {
    machine.files.addFolder(R"(C:\WINDOWS)");
    machine.files.addFolder(root());
  }
  ~SimulatedEnvironment() { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  std::string root() const { return R"(C:\CONTRACT)"; }
  platform::FileSystem& files() { return machine.files; }
  void addFile(const std::string& relative, const std::string& bytes, std::uint32_t attributes) {
    machine.files.addFile(root() + "\\" + relative, bytes, attributes);
  }
  // Not yet: what another user may do.
  void holdWithoutDeleteSharing(const std::string&) { ADD_FAILURE() << "not yet"; }
  void renameFolder(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void linkFolder(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void addHardLink(const std::string&, const std::string&) { ADD_FAILURE() << "not yet"; }
  void addFileOutsideTheCodePage(const std::string&, const std::string&) {
    ADD_FAILURE() << "not yet";
  }
  void addFolder(const std::string& relative) { machine.files.addFolder(root() + "\\" + relative); }

 private:
  sim::SimulatedWindows machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, FileSystemContract, SimulatedEnvironment);

}  // namespace
