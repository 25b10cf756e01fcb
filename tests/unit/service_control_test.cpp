#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "system/service_control.h"

namespace {

using platform::kServiceRunning;
using platform::kServiceStopped;
using platform::kServiceStopPending;

const char kWorm[] = R"(C:\WINDOWS\system32\msblast.exe)";

class ServiceControlTest : public SimTest {};

TEST_F(ServiceControlTest, WithNoActiveWin32ServiceNothingIsEnumeratedIntoABuffer) {
  sim.services.addService("Idle", kWorm, kServiceStopped);
  sim.services.addService("Beep", R"(C:\WINDOWS\system32\drivers\beep.sys)", kServiceRunning,
                          platform::kServiceKernelDriver);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 1), 0);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 0);
  // Only the two size queries: no buffer was ever needed.
  EXPECT_EQ(sim.services.enumerationSizes(), (std::vector<std::uint32_t>{0, 0}));
  EXPECT_EQ(sim.services.stopRequests(), 0);
}

TEST_F(ServiceControlTest, OnlyTheWholeBinaryPathMatchesInAnyLetterCase) {
  sim.services.addService("Exact", kWorm);
  sim.services.addService("Shouting", R"(C:\WINDOWS\SYSTEM32\MSBLAST.EXE)");
  sim.services.addService("Quoted", R"("C:\WINDOWS\system32\msblast.exe")");
  sim.services.addService("WithArguments", R"(C:\WINDOWS\system32\msblast.exe -k)");
  sim.services.addService("Sleeping", kWorm, kServiceStopped);
  for (int i = 0; i < 40; ++i)
    sim.services.addService("Other" + std::to_string(i), R"(C:\svc.exe)");

  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 2);
  // Counting stops nothing.
  EXPECT_EQ(sim.services.stopRequests(), 0);
  EXPECT_EQ(sim.services.stateOf("Exact"), kServiceRunning);

  EXPECT_EQ(stopServicesByImagePath(R"(c:\windows\SYSTEM32\msblast.EXE)", 1), 2);
  EXPECT_EQ(sim.services.stateOf("Exact"), kServiceStopped);
  EXPECT_EQ(sim.services.stateOf("Shouting"), kServiceStopped);
  for (const char* untouched : {"Quoted", "WithArguments", "Other0", "Other39"}) {
    EXPECT_EQ(sim.services.stateOf(untouched), kServiceRunning) << untouched;
  }
}

// The worm's image is known by its identity: a service whose binary path names the same text but
// leads to another file now (a folder swapped by another user) is neither stopped nor deleted.
TEST_F(ServiceControlTest, WithTheImagesIdentityOnlyServicesThatLeadToThatFileMatch) {
  sim.files.addFile(kWorm, "MZ the worm");
  sim.files.addFile(R"(C:\OTHER\innocent.exe)", "MZ another program");
  platform::FileIdentity worm, innocent;
  ASSERT_TRUE(sim.files.identifyPath(kWorm, worm));
  ASSERT_TRUE(sim.files.identifyPath(R"(C:\OTHER\innocent.exe)", innocent));
  sim.services.addService("msblast", kWorm);

  EXPECT_EQ(stopServicesByImagePath(kWorm, 1, &innocent), 0);
  EXPECT_FALSE(serviceRunsImage("msblast", kWorm, &innocent));
  EXPECT_EQ(sim.services.stateOf("msblast"), kServiceRunning);

  EXPECT_TRUE(serviceRunsImage("msblast", kWorm, &worm));
  EXPECT_EQ(stopServicesByImagePath(kWorm, 1, &worm), 1);
  EXPECT_EQ(sim.services.stateOf("msblast"), kServiceStopped);
}

TEST_F(ServiceControlTest, AServiceThatRefusesToStopIsMatchedButNotCountedAsStopped) {
  sim.services.addService("Stubborn", kWorm);
  sim.services.refuseStop("Stubborn");
  sim.services.addService("Willing", kWorm);

  EXPECT_EQ(stopServicesByImagePath(kWorm, 1), 1);
  EXPECT_EQ(sim.services.stateOf("Stubborn"), kServiceRunning);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 1)
      << "the stubborn one is still running and matching";
}

TEST_F(ServiceControlTest, AStopPendingServiceIsPolledOnceASecondUntilItStops) {
  sim.services.addService("Slow", kWorm);
  sim.services.setStopDelay("Slow", 3000);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 1), 1);
  EXPECT_EQ(sim.clock.now(), 3000u);
}

TEST_F(ServiceControlTest, AServiceStuckInStopPendingIsGivenUpAfterThirtyPolls) {
  sim.services.addService("Stuck", kWorm);
  sim.services.setStopDelay("Stuck", sim::SimServices::kNeverStops);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 1), 0);
  EXPECT_EQ(sim.clock.now(), 30u * 1000u);
  EXPECT_EQ(sim.services.stateOf("Stuck"), kServiceStopPending);

  // Still stop-pending, it stays active and matching; a second stop request is refused.
  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 1);
  EXPECT_EQ(removeService("Stuck", 1), 1);
  EXPECT_EQ(sim.clock.now(), 30u * 1000u);
  EXPECT_TRUE(sim.services.markedForDeletion("Stuck"));
}

TEST_F(ServiceControlTest, ServicesThatCannotBeOpenedOrQueriedAreSkipped) {
  sim.services.addService("Locked", kWorm);
  sim.services.restrictAccess("Locked", platform::kServiceDelete);
  sim.services.addService("Unreadable", kWorm);
  sim.services.inject(sim::ServiceFault::QueryConfig, "Unreadable");
  sim.services.addService("Plain", kWorm);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 1);

  sim.services.denyManager();
  EXPECT_EQ(stopServicesByImagePath(kWorm, 0), 0);
  EXPECT_EQ(removeService("Plain", 1), 0);
  EXPECT_TRUE(sim.services.hasService("Plain"));
}

TEST_F(ServiceControlTest, RemovingStopsFirstWhenAskedAndTheServiceIsThenGone) {
  sim.services.addService("RpcPatch", kWorm);
  sim.services.setStopDelay("RpcPatch", 2000);
  std::vector<std::string> stopped;
  sim.services.onStopped([&](const std::string& binaryPath) { stopped.push_back(binaryPath); });

  EXPECT_EQ(removeService("RpcPatch", 1), 1);
  EXPECT_FALSE(sim.services.hasService("RpcPatch"));
  EXPECT_EQ(stopped, std::vector<std::string>{kWorm});
  EXPECT_EQ(sim.clock.now(), 2000u);
}

TEST_F(ServiceControlTest, RemovingWithoutStopLeavesARunningServiceMarkedUntilItStops) {
  sim.services.addService("RpcPatch", kWorm);
  EXPECT_EQ(removeService("rpcpatch", 0), 1);
  EXPECT_EQ(sim.services.stopRequests(), 0);
  EXPECT_TRUE(sim.services.markedForDeletion("RpcPatch"));
  EXPECT_EQ(sim.services.stateOf("RpcPatch"), kServiceRunning);

  // Deleting twice is refused; once it stops, it is gone.
  EXPECT_EQ(removeService("RpcPatch", 0), 0);
  EXPECT_EQ(stopServicesByImagePath(kWorm, 1), 1);
  EXPECT_FALSE(sim.services.hasService("RpcPatch"));
}

TEST_F(ServiceControlTest, NothingIsTriedOnAServiceThatCannotBeOpened) {
  EXPECT_EQ(removeService("Absent", 1), 0);
  EXPECT_EQ(sim.services.stopRequests(), 0);

  // Opening for the stop is refused: no deletion is tried either.
  sim.services.addService("DeleteOnly", kWorm);
  sim.services.restrictAccess("DeleteOnly", platform::kServiceDelete);
  EXPECT_EQ(removeService("DeleteOnly", 0), 0);
  EXPECT_FALSE(sim.services.markedForDeletion("DeleteOnly"));

  // Stopped, but the deletion itself is refused.
  sim.services.addService("NoDelete", kWorm);
  sim.services.inject(sim::ServiceFault::Delete, "NoDelete");
  EXPECT_EQ(removeService("NoDelete", 1), 0);
  EXPECT_EQ(sim.services.stateOf("NoDelete"), kServiceStopped);
}

}  // namespace
