// Services for the tests under Wine: services created through the real service control manager
// and removed again at the end, and our own service program for the running cases.
#pragma once

#include <string>

namespace wintest {

// The command line of vandrel-test-service.exe (beside this test program), unquoted; the
// arguments, if any, follow it.
std::string testServiceCommand(const std::string& arguments = "");

// A service created for a test (stopped, demand start) and, if it is still there at the end,
// stopped and deleted.
class TestService {
 public:
  TestService(const std::string& name, const std::string& binaryPath);
  ~TestService();
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  bool created() const { return created_; }
  const std::string& name() const { return name_; }
  // Starts the service and waits until it runs; false when it does not within a few seconds.
  bool start();

 private:
  std::string name_;
  bool created_ = false;
};

// True when a service of that name exists (it may be marked for deletion).
bool serviceExists(const std::string& name);
// Waits, within ten seconds, for a service that was deleted to go: the service manager removes
// it once its last handle is closed, in its own time. True when it went.
bool serviceGoes(const std::string& name);
// The current state of the service (SERVICE_RUNNING, ...), 0 when it cannot be had.
unsigned long serviceState(const std::string& name);
// A name no other test run in this prefix uses.
std::string uniqueServiceName(const std::string& stem);

}  // namespace wintest
