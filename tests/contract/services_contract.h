// What the service cleanup relies on from the service part of the seam, asserted the same way
// against SimulatedWindows on Linux and against the Win32 implementation under Wine.
//
// An environment type supplies: services() (the Services under test); name(stem) (a service
// name of its own); addStopped(name, binaryPath); addRunning(name), which starts a service that
// takes a moment to stop when asked and returns its binary path; pause(milliseconds). The cases
// of a running service are a suite of their own, RunningServicesContract, which an environment
// where nothing runs (an installation that is not started) does not instantiate.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/bounded_text.h"
#include "platform/services.h"

template <typename Environment>
class ServicesContract : public ::testing::Test {
 protected:
  // The state of every active Win32 service named `name` in an enumeration, 0 when it is absent.
  std::uint32_t enumeratedState(platform::Handle manager, const std::string& name) {
    platform::Services& services = env.services();
    std::uint32_t needed = 0, returned = 0;
    services.enumerateActive(manager, nullptr, 0, needed, returned);
    EXPECT_EQ(returned, 0u);
    if (needed == 0) return 0;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[needed]());
    EXPECT_TRUE(services.enumerateActive(manager, buffer.get(), needed, needed, returned));
    std::uint32_t state = 0;
    for (std::uint32_t i = 0; i < returned; ++i) {
      platform::ServiceStatusEntry entry;
      std::memcpy(&entry, buffer.get() + i * sizeof entry, sizeof entry);
      if (text::equalsIgnoringCase(entry.serviceName, name.c_str())) state = entry.currentState;
    }
    return state;
  }

  std::string binaryPathOf(platform::Handle service) {
    char path[260];
    return env.services().queryBinaryPath(service, path, sizeof path) ? path : "(cannot be read)";
  }

  Environment env;
};

TYPED_TEST_SUITE_P(ServicesContract);

TYPED_TEST_P(ServicesContract, AStoppedServiceKeepsItsBinaryPathAsWrittenAndIsNotActive) {
  std::string name = this->env.name("Quoted");
  std::string binaryPath = R"("C:\Program Files\Worm\msblast.exe" -k netsvcs)";
  this->env.addStopped(name, binaryPath);
  platform::Services& services = this->env.services();
  platform::ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  ASSERT_TRUE(manager.valid());

  EXPECT_EQ(this->enumeratedState(manager.get(), name), 0u);
  EXPECT_EQ(services.openService(manager.get(), this->env.name("Absent").c_str(),
                                 platform::kServiceQueryAndStop),
            platform::kNoHandle);

  platform::ScopedServiceHandle service(
      services.openService(manager.get(), name.c_str(), platform::kServiceQueryAndStop));
  ASSERT_TRUE(service.valid());
  EXPECT_EQ(this->binaryPathOf(service.get()), binaryPath);
  char tooSmall[12];
  EXPECT_FALSE(services.queryBinaryPath(service.get(), tooSmall, sizeof tooSmall));
  EXPECT_STREQ(tooSmall, "");

  std::uint32_t state = 0;
  ASSERT_TRUE(services.queryState(service.get(), state));
  EXPECT_EQ(state, platform::kServiceStopped);
  EXPECT_FALSE(services.controlStop(service.get(), state)) << "a stopped service takes no stop";
  // Deleting needs a handle opened for it.
  EXPECT_FALSE(services.deleteService(service.get()));
}

REGISTER_TYPED_TEST_SUITE_P(ServicesContract,
                            AStoppedServiceKeepsItsBinaryPathAsWrittenAndIsNotActive);

// The cases of a running service, for environments where services run.
template <typename Environment>
class RunningServicesContract : public ServicesContract<Environment> {};

TYPED_TEST_SUITE_P(RunningServicesContract);

TYPED_TEST_P(RunningServicesContract, ARunningServiceIsEnumeratedStopsWhenAskedAndGoesWhenDeleted) {
  std::string name = this->env.name("Running");
  std::string binaryPath = this->env.addRunning(name);
  platform::Services& services = this->env.services();
  platform::ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  ASSERT_TRUE(manager.valid());
  EXPECT_EQ(this->enumeratedState(manager.get(), name), platform::kServiceRunning);

  platform::ScopedServiceHandle service(
      services.openService(manager.get(), name.c_str(), platform::kServiceQueryAndStop));
  ASSERT_TRUE(service.valid());
  EXPECT_EQ(this->binaryPathOf(service.get()), binaryPath);

  std::uint32_t state = 0;
  ASSERT_TRUE(services.controlStop(service.get(), state));
  EXPECT_TRUE(state == platform::kServiceStopPending || state == platform::kServiceStopped)
      << state;
  for (int polls = 0; polls < 50 && state == platform::kServiceStopPending; ++polls) {
    this->env.pause(200);
    ASSERT_TRUE(services.queryState(service.get(), state));
  }
  EXPECT_EQ(state, platform::kServiceStopped);
  EXPECT_EQ(this->enumeratedState(manager.get(), name), 0u);
  service.reset();

  platform::ScopedServiceHandle deletable(
      services.openService(manager.get(), name.c_str(), platform::kServiceDelete));
  ASSERT_TRUE(deletable.valid());
  EXPECT_TRUE(services.deleteService(deletable.get()));
  EXPECT_FALSE(services.deleteService(deletable.get())) << "already marked for deletion";
  deletable.reset();
  // The service manager removes a deleted service once its last handle is closed, in its own
  // time (on Windows as under Wine): the test waits for it, within a bound.
  platform::Handle reopened = platform::kNoHandle;
  for (int polls = 0; polls < 50; ++polls) {
    reopened = services.openService(manager.get(), name.c_str(), platform::kServiceQueryAndStop);
    if (reopened == platform::kNoHandle) break;
    services.closeHandle(reopened);
    this->env.pause(200);
  }
  EXPECT_EQ(reopened, platform::kNoHandle) << "the deleted service stayed for ten seconds";
}

REGISTER_TYPED_TEST_SUITE_P(RunningServicesContract,
                            ARunningServiceIsEnumeratedStopsWhenAskedAndGoesWhenDeleted);
