#include "contract/services_contract.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "windows/service_support.h"

namespace {

// Services made through the prefix's own service control manager, removed at the end.
class Win32Services {
 public:
  platform::Services& services() { return platform::services(); }
  std::string name(const std::string& stem) const {
    return wintest::uniqueServiceName("VandrelContract" + stem);
  }
  void addStopped(const std::string& name, const std::string& binaryPath) {
    created_.push_back(std::make_unique<wintest::TestService>(name, binaryPath));
    ASSERT_TRUE(created_.back()->created()) << GetLastError();
  }
  std::string addRunning(const std::string& name) {
    std::string binaryPath = wintest::testServiceCommand("--stop-delay 1000");
    created_.push_back(std::make_unique<wintest::TestService>(name, binaryPath));
    EXPECT_TRUE(created_.back()->created()) << GetLastError();
    EXPECT_TRUE(created_.back()->start()) << GetLastError();
    return binaryPath;
  }
  void pause(std::uint32_t milliseconds) { Sleep(milliseconds); }

 private:
  // Installed first, so that the services are removed before it goes.
  platform::ScopedInstall win32_{platform::win32::win32Os()};
  std::vector<std::unique_ptr<wintest::TestService>> created_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ServicesContract, Win32Services);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RunningServicesContract, Win32Services);

}  // namespace
