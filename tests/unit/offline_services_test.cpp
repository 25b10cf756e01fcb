// The services of a mounted installation: keys of its SYSTEM hive, in every control set.
#include <gtest/gtest.h>

#include <functional>

#include "contract/services_contract.h"
#include "offline/hive_builder.h"
#include "offline/offline_machine.h"
#include "platform/sim/simulated_windows.h"

namespace {

using offline_test::Layout;
using offline_test::OfflineMachine;
using platform::kNoHandle;
using platform::ScopedServiceHandle;

class OfflineServicesEnvironment {
 public:
  // An installation that is not started, where nothing runs: RunningServicesContract is not
  // instantiated for it.
  OfflineServicesEnvironment() { machine.open(); }

  platform::Services& services() { return *machine.services; }
  std::string name(const std::string& stem) const { return stem; }
  void addStopped(const std::string& name, const std::string& binaryPath) {
    offline_test::editOpenHive(machine.tree.root(), *machine.hives.system(), [&](hive_h* hive) {
      offline_test::setString(hive, R"(ControlSet002\Services\)" + name, "ImagePath", binaryPath,
                              2);
    });
  }
  std::string addRunning(const std::string&) {
    ADD_FAILURE() << "nothing runs offline";
    return "";
  }
  void pause(std::uint32_t) {}

 private:
  sim::SimulatedWindows rest;
  OfflineMachine machine;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Offline, ServicesContract, OfflineServicesEnvironment);

class OfflineServicesTest : public ::testing::Test {
 protected:
  OfflineServicesTest() : machine(Layout::kXp, {"alice"}, 3) {}

  // Opens the manager and the service `name` with `access`; kNoHandle when either fails.
  bool canOpen(const char* name, std::uint32_t access = platform::kServiceQueryAndStop) {
    platform::Services& services = *machine.services;
    ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
    return manager && ScopedServiceHandle(services.openService(manager.get(), name, access));
  }

  sim::SimulatedWindows rest;
  OfflineMachine machine;
};

TEST_F(OfflineServicesTest, AServiceIsDeletedFromEveryControlSetThatHasIt) {
  machine.tree.addService("RpcTftpd", R"(%SystemRoot%\system32\rpctftpd.exe)", {1, 3});
  machine.tree.addService("RpcTftpdHelper", R"(C:\helper.exe)", {1, 2, 3});
  machine.open();
  platform::Services& services = *machine.services;
  ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  ASSERT_TRUE(manager);

  ScopedServiceHandle query(
      services.openService(manager.get(), "RPCTFTPD", platform::kServiceQueryAndStop));
  ASSERT_TRUE(query);
  char path[260];
  ASSERT_TRUE(services.queryBinaryPath(query.get(), path, sizeof path));
  EXPECT_STREQ(path, R"(%SystemRoot%\system32\rpctftpd.exe)");
  ScopedServiceHandle doomed(
      services.openService(manager.get(), "rpctftpd", platform::kServiceDelete));
  ASSERT_TRUE(doomed);
  EXPECT_TRUE(services.deleteService(doomed.get()));
  EXPECT_FALSE(services.deleteService(doomed.get())) << "already gone";
  std::uint32_t state = 0;
  EXPECT_FALSE(services.queryState(query.get(), state)) << "a deleted service has no state";

  EXPECT_TRUE(offline_test::lookAtOpenHive(*machine.hives.system(), [&](hive_h* system) {
    for (const std::string& set : machine.tree.controlSets()) {
      EXPECT_FALSE(offline_test::hasKey(system, set + R"(\Services\RpcTftpd)")) << set;
      EXPECT_TRUE(offline_test::hasKey(system, set + R"(\Services\RpcTftpdHelper\Enum)")) << set;
      EXPECT_TRUE(offline_test::hasKey(system, set + R"(\Services\Tcpip)")) << set;
    }
  }));
  EXPECT_TRUE(machine.hives.system()->changed());
}

TEST_F(OfflineServicesTest, NothingRunsAndOnlyServiceKeysAreServices) {
  machine.tree.addService("WksPatch", R"(C:\WINDOWS\system32\wkspatch.exe)", {2});
  machine.open();
  platform::Services& services = *machine.services;
  ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  std::uint32_t needed = 1, returned = 1;
  EXPECT_TRUE(services.enumerateActive(manager.get(), nullptr, 0, needed, returned));
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);

  ScopedServiceHandle service(
      services.openService(manager.get(), "WksPatch", platform::kServiceQueryAndStop));
  std::uint32_t state = 0;
  EXPECT_FALSE(services.controlStop(service.get(), state));
  ASSERT_TRUE(services.queryState(service.get(), state));
  EXPECT_EQ(state, platform::kServiceStopped);

  for (const char* notAService : {"", R"(Tcpip\Enum)", "..", R"(..\..\Select)", "Select"}) {
    EXPECT_FALSE(canOpen(notAService)) << notAService;
  }
  EXPECT_TRUE(canOpen("tcpip"));
}

TEST_F(OfflineServicesTest, WithoutItsSystemHiveThereIsNoServiceManager) {
  machine.tree.addFile(machine.tree.systemHive(), "cut");
  machine.open();
  EXPECT_EQ(machine.services->openManager(platform::kManagerEnumerate), kNoHandle);
  // A Windows folder whose SYSTEM cannot be read is not taken for an installation at all.
  EXPECT_EQ(machine.installation.kind, platform::offline::InstallationKind::kNotWindows);
  EXPECT_EQ(machine.installation.setAside,
            std::vector<std::string>{R"(C:\WINDOWS: not a Windows folder: )"
                                     R"(C:\WINDOWS\system32\config\SYSTEM: not a sound hive: )"
                                     "not a registry hive file (--windows WINDOWS takes it all "
                                     "the same, to clean its files)"});
  EXPECT_TRUE(machine.hives.all().empty());
}

// A Services key whose list or names cannot be read, or that holds two keys answering to the
// service's name, may hide the worm's service: it is named with the hive, and the service's keys
// in the other control sets still go.
TEST(OfflineServicesProblemTest, AControlSetWhereTheServiceCannotBeToldApartIsNamed) {
  const std::string services = R"(ControlSet002\Services)";
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
    const char* named;
  };
  const std::vector<Case> cases = {
      {"two keys answering to its name",
       [&](std::string& h) {
         std::size_t twin = offline_test::keyOffset(h, services + R"(\RpcTftpx)");
         h.replace(twin + offline_test::kKeyName, 8, "RPCTFTPD");
       },
       R"(the key of the service "RpcTftpd" is not taken: at ControlSet002\Services: two of its subkeys answer to the name "RpcTftpd")"},
      {"a subkey list that is no list",
       [&](std::string& h) {
         std::size_t key = offline_test::keyOffset(h, services);
         offline_test::setField32(h, key + offline_test::kKeySubkeyList, offline_test::stored(key));
       },
       R"(the key of the service "RpcTftpd" cannot be read: at ControlSet002\Services: its list of subkeys cannot be read)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimulatedWindows rest;
    OfflineMachine machine(Layout::kXp, {"alice"}, 3);
    machine.tree.addService("RpcTftpd", R"(C:\WINDOWS\system32\rpctftpd.exe)", {1, 2, 3});
    machine.tree.addService("RpcTftpx", R"(C:\helper.exe)", {2});
    std::string system = machine.tree.fileBytes(machine.tree.systemHive());
    c.spoil(system);
    machine.tree.addFile(machine.tree.systemHive(), system);
    machine.open();

    platform::Services& manager = *machine.services;
    ScopedServiceHandle opened(manager.openManager(platform::kManagerEnumerate));
    ScopedServiceHandle doomed(
        manager.openService(opened.get(), "RpcTftpd", platform::kServiceDelete));
    ASSERT_TRUE(doomed);
    EXPECT_TRUE(manager.deleteService(doomed.get()));
    EXPECT_TRUE(offline_test::lookAtOpenHive(*machine.hives.system(), [&](hive_h* hive) {
      EXPECT_FALSE(offline_test::hasKey(hive, R"(ControlSet001\Services\RpcTftpd)"));
      EXPECT_FALSE(offline_test::hasKey(hive, R"(ControlSet003\Services\RpcTftpd)"));
    }));
    std::string named = machine.problems();
    EXPECT_NE(named.find(machine.tree.systemHive() + ": " + c.named), std::string::npos) << named;
  }
}

}  // namespace
