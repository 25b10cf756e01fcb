#include <gtest/gtest.h>

#include <cstring>

#include "contract/worm_footprint.h"
#include "engine/registry_cleanup.h"
#include "sim_fixture.h"

namespace {

using platform::kRootCurrentUser;
using platform::kRootLocalMachine;
using platform::kRootUsers;

using footprint::kDefault;
using footprint::kRun;
using footprint::kRunon;
using footprint::kRunServices;
using footprint::RegistryEntry;

const char kLine[] = "System Registry     W32/Blaster.C.Worm removed";

class RegistryCleanupTest : public SimTest {
 protected:
  void plant(const RegistryEntry& value) {
    sim.registry.setString(value.root, value.subkey, value.name,
                           R"(C:\WINDOWS\system32\msblast.exe)");
  }
  void plantEverything() {
    for (const RegistryEntry& value : footprint::wormValues()) plant(value);
    for (const std::string& service : footprint::wormServiceNames()) {
      sim.services.addService(service, R"(C:\WINDOWS\system32\)" + service + ".exe");
    }
  }
  int wormValuesLeft() {
    int left = 0;
    for (const RegistryEntry& value : footprint::wormValues()) {
      left += sim.registry.hasValue(value.root, value.subkey, value.name);
    }
    return left;
  }
};

TEST_F(RegistryCleanupTest, ACleanMachineGetsNoLine) {
  sim.registry.setString(kRootLocalMachine, kRun, "Sound Mixer", "mixer.exe");
  EXPECT_EQ(cleanWormRegistry("W32/Blaster.Worm"), 1);
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(sim.registry.hasValue(kRootLocalMachine, kRun, "Sound Mixer"));
}

TEST_F(RegistryCleanupTest, OneValueIsRemovedAndTheLineNamesTheVariantThatWasFound) {
  // The value belongs to the original worm; the line names whatever variant triggered the call.
  plant(footprint::wormValues()[0]);
  EXPECT_EQ(cleanWormRegistry("W32/Blaster.C.Worm"), 1);
  EXPECT_EQ(written, std::vector<std::string>{kLine});
  EXPECT_EQ(wormValuesLeft(), 0) << sim.dump();
}

TEST_F(RegistryCleanupTest, EveryValueAndServiceGoesAndOnlyTheFirstOfSeveralCallsWritesALine) {
  plantEverything();
  for (int identification = 0; identification < 3; ++identification)
    cleanWormRegistry("W32/Blaster.C.Worm");

  EXPECT_EQ(written, std::vector<std::string>{kLine});
  EXPECT_EQ(wormValuesLeft(), 0) << sim.dump();
  for (const std::string& service : footprint::wormServiceNames())
    EXPECT_FALSE(sim.services.hasService(service)) << service;
}

TEST_F(RegistryCleanupTest, TheServicesAreStoppedBetweenTheValueSteps) {
  plantEverything();
  std::vector<std::string> stopOrder;
  sim.services.onStopped([&](const std::string& binaryPath) {
    stopOrder.push_back(binaryPath.substr(binaryPath.rfind('\\') + 1));
    bool runonLeft = sim.registry.hasValue(kRootLocalMachine, kRunon, "Nonton Antivirus   ");
    bool runServicesLeft =
        sim.registry.hasValue(kRootLocalMachine, kRunServices, "Windows Root Account");
    EXPECT_FALSE(runServicesLeft) << "the run-services value goes before any service";
    EXPECT_EQ(runonLeft, stopOrder.back() != "WksPatch.exe")
        << "only WksPatch waits for the Runon values";
  });
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(stopOrder, (std::vector<std::string>{"RpcTftpd.exe", "RpcPatch.exe", "WksPatch.exe"}));
}

TEST_F(RegistryCleanupTest, NearMissesOfTheWormsNamesAreLeftAlone) {
  for (const RegistryEntry& decoy : footprint::decoyValues()) plant(decoy);
  sim.services.addService(footprint::kDecoyService, R"(C:\helper.exe)");

  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_TRUE(written.empty());
  for (const RegistryEntry& decoy : footprint::decoyValues()) {
    EXPECT_TRUE(sim.registry.hasValue(decoy.root, decoy.subkey, decoy.name))
        << "'" << decoy.name << "'";
  }
  EXPECT_EQ(sim.services.stateOf(footprint::kDecoyService), platform::kServiceRunning);
}

TEST_F(RegistryCleanupTest, ValueNamesAndKeysMatchInAnyLetterCase) {
  sim.registry.setString(kRootLocalMachine, R"(SOFTWARE\MICROSOFT\WINDOWS\CURRENTVERSION\RUN)",
                         "Windows Auto Update", "msblast.exe");
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(written.size(), 1u);
  EXPECT_FALSE(sim.registry.hasValue(kRootLocalMachine, kRun, "windows auto update"));
}

TEST_F(RegistryCleanupTest, AServiceAloneIsRemovedAndReported) {
  sim.services.addService("RpcPatch", R"("C:\WINDOWS\system32\rpcpatch.exe" -k)");
  cleanWormRegistry("W32/Blaster.D.Worm");
  EXPECT_EQ(written, std::vector<std::string>{"System Registry     W32/Blaster.D.Worm removed"});
  EXPECT_FALSE(sim.services.hasService("RpcPatch"));
}

TEST_F(RegistryCleanupTest, AValueWithoutRightsToDeleteItIsNotReported) {
  plant(footprint::wormValues()[0]);
  sim.registry.restrictAccess(kRootLocalMachine, kRun, platform::kKeyRead);
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(sim.registry.hasValue(kRootLocalMachine, kRun, "windows auto update"));
}

TEST_F(RegistryCleanupTest, AFailedStepDoesNotStopTheOthers) {
  plantEverything();
  sim.registry.restrictAccess(kRootLocalMachine, kRun, platform::kKeyRead);
  sim.registry.inject(sim::RegistryFault::Delete, kRootCurrentUser, kRun, "windows auto update");
  sim.registry.restrictAccess(kRootUsers, kDefault + kRunon, 0);
  sim.services.restrictAccess("RpcTftpd", platform::kServiceQueryAndStop);

  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(written.size(), 1u);
  // Three values under the locked HKLM run key, the one value that refused, the one behind the
  // closed key; the service that may not be deleted was still stopped.
  EXPECT_EQ(wormValuesLeft(), 5) << sim.dump();
  EXPECT_EQ(sim.services.stateOf("RpcTftpd"), platform::kServiceStopped);
  EXPECT_FALSE(sim.services.hasService("RpcPatch"));
  EXPECT_FALSE(sim.services.hasService("WksPatch"));
}

TEST_F(RegistryCleanupTest, WithoutAScanWindowTheCleanupStillRunsButWritesNothing) {
  plantEverything();
  scanSession().scanDialogWindow = 0;
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(wormValuesLeft(), 0);
}

TEST_F(RegistryCleanupTest, AValueLongerThanTheBufferCountsAsPresentWithoutOverrunningIt) {
  std::string large(5000, 'x');
  sim.registry.setValue(kRootLocalMachine, kRun, "windows auto update", platform::kRegBinary,
                        large);

  unsigned char buffer[1016];
  std::memset(buffer, 0xAB, sizeof buffer);
  EXPECT_EQ(
      registryValueExists(kRootLocalMachine, kRun.c_str(), "windows auto update", buffer, 1000), 1);
  for (std::size_t i = 1000; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0xAB) << "byte " << i;

  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(written.size(), 1u);
  EXPECT_EQ(wormValuesLeft(), 0);
}

TEST_F(RegistryCleanupTest, AValueThatCannotBeReadIsTakenForAbsent) {
  plant(footprint::wormValues()[0]);
  sim.registry.inject(sim::RegistryFault::Query, kRootLocalMachine, kRun, "windows auto update");
  unsigned char buffer[16];
  EXPECT_EQ(registryValueExists(kRootLocalMachine, kRun.c_str(), "windows auto update", buffer,
                                sizeof buffer),
            0);
  EXPECT_EQ(registryValueExists(kRootLocalMachine, "Software\\Absent", "windows auto update",
                                buffer, sizeof buffer),
            0);
  EXPECT_EQ(deleteRegistryValue(kRootLocalMachine, kRun.c_str(), "no such value"), 0);
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_TRUE(written.empty());
}

// On 64-bit Windows a 32-bit worm's values are stored in the 32-bit view of HKLM\Software and
// a 64-bit one's in the other; both go, and one line says so.
TEST_F(RegistryCleanupTest, OnA64BitSystemTheValuesGoFromBothViews) {
  sim.registry.makeSixtyFourBit();
  const std::string kWow64Run = R"(Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run)";
  sim.registry.setString(kRootLocalMachine, kWow64Run, "windows auto update", "msblast.exe");
  sim.registry.setString(kRootLocalMachine, kRun, "windows auto update", "msblast.exe");
  sim.registry.setString(kRootLocalMachine, kWow64Run, "Sound Mixer", "mixer.exe");
  plant({kRootCurrentUser, kRun, "Microsoft Inet Xp.."});

  EXPECT_EQ(cleanWormRegistry("W32/Blaster.Worm"), 1);
  EXPECT_EQ(written, std::vector<std::string>{"System Registry     W32/Blaster.Worm removed"});
  EXPECT_FALSE(sim.registry.hasValue(kRootLocalMachine, kWow64Run, "windows auto update"))
      << sim.dump();
  EXPECT_FALSE(sim.registry.hasValue(kRootLocalMachine, kRun, "windows auto update"));
  EXPECT_FALSE(sim.registry.hasValue(kRootCurrentUser, kRun, "Microsoft Inet Xp.."));
  EXPECT_TRUE(sim.registry.hasValue(kRootLocalMachine, kWow64Run, "Sound Mixer"));

  // A value only in the 32-bit view is found there too.
  sim.registry.setString(kRootLocalMachine, kWow64Run, "Windows Root Account", "msblast.exe");
  written.clear();
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(written.size(), 1u);
  EXPECT_FALSE(sim.registry.hasValue(kRootLocalMachine, kWow64Run, "Windows Root Account"));
}

// A system that has no 64-bit edition is never asked for a view: it would refuse the key.
TEST_F(RegistryCleanupTest, On32BitSystemsNoViewIsAskedFor) {
  unsigned char buffer[16];
  plant(footprint::wormValues()[0]);
  EXPECT_EQ(sim.registry.views().count, 1);
  EXPECT_EQ(registryValueExists(kRootLocalMachine, kRun.c_str(), "windows auto update", buffer,
                                sizeof buffer, platform::kKeyView32),
            0);
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(wormValuesLeft(), 0);
}

}  // namespace
