#include "contract/file_system_contract.h"

#include "platform/sim/simulated_windows.h"

namespace {

class SimulatedEnvironment {
 public:
  SimulatedEnvironment() {
    machine.files.addFolder(R"(C:\WINDOWS\system32)");
    machine.files.addFolder(root());
  }
  ~SimulatedEnvironment() { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  std::string root() const { return R"(C:\CONTRACT)"; }
  platform::FileSystem& files() { return machine.files; }
  void addFile(const std::string& relative, const std::string& bytes, std::uint32_t attributes) {
    machine.files.addFile(root() + "\\" + relative, bytes, attributes);
  }
  void holdWithoutDeleteSharing(const std::string& relative) {
    machine.files.holdOpen(root() + "\\" + relative);
  }
  void renameFolder(const std::string& from, const std::string& to) {
    ASSERT_TRUE(machine.files.rename(root() + "\\" + from, root() + "\\" + to));
  }
  void linkFolder(const std::string& link, const std::string& target) {
    machine.files.addJunction(root() + "\\" + link, root() + "\\" + target);
  }
  void addHardLink(const std::string& name, const std::string& existing) {
    machine.files.addHardLink(root() + "\\" + name, root() + "\\" + existing);
  }
  void addFileOutsideTheCodePage(const std::string& folder, const std::string& bytes) {
    machine.files.addFileOutsideTheCodePage(root() + "\\" + folder, "..\\outside.exe",
                                            "___O~HH4.EXE", bytes);
  }
  void addFolder(const std::string& relative) { machine.files.addFolder(root() + "\\" + relative); }

 private:
  sim::SimulatedWindows machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, FileSystemContract, SimulatedEnvironment);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, ProtectiveAttributesContract, SimulatedEnvironment);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, FilesInUseContract, SimulatedEnvironment);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, CodePageContract, SimulatedEnvironment);

}  // namespace
