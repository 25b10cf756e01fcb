// The registry cleanup run over a mounted installation: every start-up value and service of the
// worm goes from every hive and control set that has it, the near misses stay, and the hives are
// replaced on disk only when committed, their originals kept.
#include <gtest/gtest.h>

#include <map>

#include "contract/worm_footprint.h"
#include "engine/registry_cleanup.h"
#include "offline/hive_builder.h"
#include "offline/offline_machine.h"
#include "sim_fixture.h"

namespace {

using footprint::RegistryEntry;
using offline_test::Layout;
using offline_test::OfflineMachine;
using platform::offline::CommitOptions;

const char kLine[] = "System Registry     W32/Blaster.C.Worm removed";

class OfflineCleanupTest : public SimTest, public ::testing::WithParamInterface<Layout> {
 protected:
  OfflineCleanupTest() : machine(GetParam()) {}

  void plantEverything() {
    for (const RegistryEntry& value : footprint::wormValues()) machine.tree.plant(value);
    for (const RegistryEntry& decoy : footprint::decoyValues()) machine.tree.plant(decoy, "decoy");
    // The services as the variants leave them: in one control set or both, in any letter case.
    machine.tree.addService("RpcTftpd", R"(C:\WINDOWS\system32\rpctftpd.exe)", {1, 2});
    machine.tree.addService("RPCPATCH", R"(C:\WINDOWS\system32\rpcpatch.exe)", {2});
    machine.tree.addService("WksPatch", R"(C:\WINDOWS\system32\wkspatch.exe)", {1});
    machine.tree.addService(footprint::kDecoyService, R"(C:\helper.exe)", {1, 2});
  }
  std::vector<std::string> allHives() const {
    std::vector<std::string> hives = {machine.tree.softwareHive(), machine.tree.systemHive(),
                                      machine.tree.defaultHive()};
    for (const std::string& user : machine.tree.userHives()) hives.push_back(user);
    return hives;
  }
  std::map<std::string, std::string> hiveBytes() const {
    std::map<std::string, std::string> bytes;
    for (const std::string& hive : allHives()) bytes[hive] = machine.tree.fileBytes(hive);
    return bytes;
  }
  void expectCleanOnDisk() {
    for (const RegistryEntry& value : footprint::wormValues()) {
      EXPECT_FALSE(machine.tree.hasAnywhere(value)) << "'" << value.name << "' " << value.subkey;
    }
    for (const RegistryEntry& decoy : footprint::decoyValues()) {
      EXPECT_TRUE(machine.tree.hasEverywhere(decoy)) << "'" << decoy.name << "' " << decoy.subkey;
    }
    for (const std::string& service : footprint::wormServiceNames()) {
      EXPECT_EQ(machine.tree.controlSetsWithService(service), 0) << service;
    }
    EXPECT_EQ(machine.tree.controlSetsWithService(footprint::kDecoyService), 2);
  }

  OfflineMachine machine;
};

TEST_P(OfflineCleanupTest, EveryValueAndServiceGoesFromEveryHiveAndTheOriginalsAreKept) {
  plantEverything();
  std::map<std::string, std::string> originals = hiveBytes();
  machine.open();
  ASSERT_EQ(machine.hives.users().size(), 2u) << machine.problems();

  for (int identification = 0; identification < 3; ++identification) {
    EXPECT_EQ(cleanWormRegistry("W32/Blaster.C.Worm"), 1);
  }
  EXPECT_EQ(written, std::vector<std::string>{kLine});
  EXPECT_EQ(hiveBytes(), originals) << "nothing is written before the commit";
  // What a dry run would report: eleven values in five hives, three services in four keys.
  const auto& changes = machine.hives.changes();
  EXPECT_EQ(changes.size(), 5u + 3 * 2 + 3 + 4);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.front().path, machine.tree.softwareHive());
  EXPECT_EQ(changes.front().what,
            R"(value "windows auto update" of Microsoft\Windows\CurrentVersion\Run removed)");
  EXPECT_EQ(changes.back().path, machine.tree.systemHive());
  EXPECT_EQ(changes.back().what, R"(key ControlSet001\Services\WksPatch deleted)");

  CommitOptions options;
  options.date = "20030811";
  std::vector<platform::offline::InstallationHives::Committed> committed;
  ASSERT_TRUE(machine.hives.commitChanged(options, committed)) << machine.problems();
  EXPECT_EQ(committed.size(), allHives().size());
  EXPECT_EQ(machine.problems(), "");
  expectCleanOnDisk();
  for (const auto& [hive, bytes] : originals) {
    EXPECT_EQ(machine.tree.fileBytes(hive + ".vandrel-20030811"), bytes) << hive;
  }

  // The hives are still open in memory and agree with the disk.
  EXPECT_TRUE(offline_test::lookAtOpenHive(*machine.hives.software(), [](hive_h* software) {
    EXPECT_TRUE(offline_test::hasKey(software, R"(Microsoft\Windows\CurrentVersion\Run)"));
    EXPECT_FALSE(offline_test::hasValue(software, R"(Microsoft\Windows\CurrentVersion\Run)",
                                        "windows auto update"));
  }));
  // Nothing is left to change, so a second commit writes nothing.
  std::vector<platform::offline::InstallationHives::Committed> again;
  EXPECT_TRUE(machine.hives.commitChanged(options, again));
  EXPECT_TRUE(again.empty());
}

TEST_P(OfflineCleanupTest, AHiveThatCannotBeOpenedIsReportedAndTheOthersAreCleaned) {
  plantEverything();
  // The DEFAULT hive cut short at a bin boundary, which hivex alone would read as whole.
  std::string cut = machine.tree.fileBytes(machine.tree.defaultHive());
  cut.resize(cut.size() - 4096);
  machine.tree.addFile(machine.tree.defaultHive(), cut);
  machine.open();

  cleanWormRegistry("W32/Blaster.C.Worm");
  std::vector<platform::offline::InstallationHives::Committed> committed;
  EXPECT_TRUE(machine.hives.commitChanged(CommitOptions(), committed));
  EXPECT_EQ(committed.size(), allHives().size() - 1);
  ASSERT_EQ(machine.hives.problems().size(), 1u);
  EXPECT_EQ(machine.hives.problems()[0].path, machine.tree.defaultHive());
  EXPECT_EQ(machine.hives.problems()[0].what,
            "left untouched: the file is shorter than its header says (cut short)");
  EXPECT_EQ(machine.tree.fileBytes(machine.tree.defaultHive()), cut);
  for (const RegistryEntry& value : footprint::wormValues()) {
    if (value.root == platform::kRootUsers) continue;
    EXPECT_FALSE(machine.tree.hasAnywhere(value)) << "'" << value.name << "' " << value.subkey;
  }
}

// A hive that Windows did not write may hold a value twice, in one letter case or in two: each
// copy is the worm's, and all of them go from every hive that has them, the others untouched.
TEST_P(OfflineCleanupTest, EveryCopyOfAValueGoesWhateverItsLetterCase) {
  const std::string run = R"(Microsoft\Windows\CurrentVersion\Run)";
  const std::string userRun = R"(Software\)" + run;
  offline_test::InstallationTree& tree = machine.tree;
  tree.editHive(tree.softwareHive(), [&](hive_h* hive) {
    offline_test::addStringAgain(hive, run, "windows auto update", "msblast.exe");
    offline_test::addStringAgain(hive, run, "WINDOWS AUTO UPDATE", "msblast.exe");
    offline_test::addStringAgain(hive, run, "windows auto update", "msblast.exe");
  });
  tree.editHive(tree.userHive("alice"), [&](hive_h* hive) {
    offline_test::addStringAgain(hive, userRun, "Windows Auto Update", "msblast.exe");
    offline_test::setString(hive, userRun, "Sound Mixer", "mixer.exe");
    offline_test::addStringAgain(hive, userRun, "windows auto update ", "a near miss");
    offline_test::addStringAgain(hive, userRun, "windows auto update", "msblast.exe");
  });
  const std::string bob = tree.fileBytes(tree.userHive("bob"));
  machine.open();

  EXPECT_EQ(cleanWormRegistry("W32/Blaster.C.Worm"), 1);
  EXPECT_EQ(written, std::vector<std::string>{kLine});
  std::vector<platform::offline::InstallationHives::Committed> committed;
  ASSERT_TRUE(machine.hives.commitChanged(CommitOptions(), committed)) << machine.problems();
  EXPECT_EQ(committed.size(), 2u);
  EXPECT_EQ(machine.problems(), "");

  EXPECT_TRUE(tree.lookInHive(tree.softwareHive(), [&](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, run, "windows auto update"), 0);
    EXPECT_TRUE(offline_test::hasValue(hive, run, "Sound Mixer"));
  }));
  EXPECT_TRUE(tree.lookInHive(tree.userHive("alice"), [&](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, userRun, "windows auto update"), 0);
    EXPECT_TRUE(offline_test::hasValue(hive, userRun, "Sound Mixer"));
    EXPECT_TRUE(offline_test::hasValue(hive, userRun, "windows auto update "));
  }));
  EXPECT_EQ(tree.fileBytes(tree.userHive("bob")), bob) << "a clean user's hive is not written";
}

INSTANTIATE_TEST_SUITE_P(Layouts, OfflineCleanupTest,
                         ::testing::Values(Layout::kXp, Layout::kSeven),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return info.param == Layout::kXp ? "Xp" : "Seven";
                         });

}  // namespace
