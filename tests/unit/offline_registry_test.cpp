// The registry of a mounted installation: the seam's contract over its hives, and how the roots
// map onto them.
#include <gtest/gtest.h>

#include "contract/registry_contract.h"
#include "offline/hive_builder.h"
#include "offline/offline_machine.h"
#include "platform/offline/hive_keys.h"
#include "platform/sim/simulated_windows.h"

namespace {

using offline_test::OfflineMachine;
using platform::kErrorFileNotFound;
using platform::kErrorSuccess;
using platform::kRootCurrentUser;
using platform::kRootLocalMachine;
using platform::kRootUsers;

// The contract under HKEY_CURRENT_USER, with what is set living in the second user's hive only,
// and under HKEY_LOCAL_MACHINE\Software.
template <platform::Handle Root>
class OfflineRegistryEnvironment {
 public:
  OfflineRegistryEnvironment() {
    machine.open();
    hive_ = Root == kRootCurrentUser ? machine.hives.users()[1] : machine.hives.software();
    offline_test::editOpenHive(machine.tree.root(), *hive_, [&](hive_h* hive) {
      offline_test::ensureKey(hive, inHive(base()));
    });
  }

  platform::Handle root() const { return Root; }
  std::string base() const { return R"(Software\VandrelContract)"; }
  platform::Registry& registry() { return *machine.registry; }
  // Stored as Windows stores what the single-byte functions set: strings as UTF-16LE.
  void setValue(const std::string& subkey, const std::string& name, std::uint32_t type,
                const std::string& bytes) {
    std::string stored = type == platform::kRegSz ? offline_test::utf16(bytes) : bytes;
    offline_test::editOpenHive(machine.tree.root(), *hive_, [&](hive_h* hive) {
      offline_test::setValue(hive, inHive(base() + "\\" + subkey), name, type, stored);
    });
  }

 private:
  static std::string inHive(const std::string& path) {
    return offline_test::InstallationTree::keyInHive(Root, path);
  }

  sim::SimulatedWindows rest;  // the parts of the platform that are not the registry
  OfflineMachine machine;
  platform::offline::HiveFile* hive_ = nullptr;
};

using OfflineCurrentUser = OfflineRegistryEnvironment<kRootCurrentUser>;
using OfflineLocalMachine = OfflineRegistryEnvironment<kRootLocalMachine>;
INSTANTIATE_TYPED_TEST_SUITE_P(OfflineCurrentUser, RegistryContract, OfflineCurrentUser);
INSTANTIATE_TYPED_TEST_SUITE_P(OfflineLocalMachine, RegistryContract, OfflineLocalMachine);

class OfflineRegistryTest : public ::testing::Test {
 protected:
  OfflineRegistryTest() {
    auto& tree = machine.tree;
    tree.editHive(tree.userHive("alice"), [](hive_h* hive) {
      offline_test::setString(hive, R"(Software\Alice Only)", "Mine", "alice");
      offline_test::setString(hive, R"(Software\Shared)", "Both", "alice");
    });
    tree.editHive(tree.userHive("bob"), [](hive_h* hive) {
      offline_test::setString(hive, R"(Software\Shared)", "Both", "bob");
      offline_test::setString(hive, R"(Software\Shared)", "Bob's", "bob");
    });
    machine.open();
  }

  // The data of a value as the single-byte functions give it, or "(error N)".
  std::string read(platform::Handle root, const char* subkey, const char* name) {
    platform::Registry& registry = *machine.registry;
    platform::Handle opened = platform::kNoHandle;
    long result = registry.openKey(root, subkey, platform::kKeyRead, opened);
    if (result != kErrorSuccess) return "(error " + std::to_string(result) + ")";
    platform::ScopedKey key(opened);
    char data[64] = {};
    std::uint32_t size = sizeof data;
    result = registry.queryValue(key.get(), name, nullptr, data, &size);
    registry.closeKey(key.release());
    if (result != kErrorSuccess) return "(error " + std::to_string(result) + ")";
    return std::string(data, size);
  }
  long remove(platform::Handle root, const char* subkey, const char* name) {
    platform::Handle opened = platform::kNoHandle;
    long result = machine.registry->openKey(root, subkey, platform::kKeyAllAccess, opened);
    if (result != kErrorSuccess) return result;
    result = machine.registry->deleteValue(opened, name);
    machine.registry->closeKey(opened);
    return result;
  }

  sim::SimulatedWindows rest;
  OfflineMachine machine;
};

TEST_F(OfflineRegistryTest, TheCurrentUserIsEveryUserTogether) {
  EXPECT_EQ(read(kRootCurrentUser, R"(Software\Alice Only)", "Mine"), std::string("alice\0", 6));
  // Read from the first user that has it; deleted from every user that has it.
  EXPECT_EQ(read(kRootCurrentUser, R"(software\shared)", "BOTH"), std::string("alice\0", 6));
  EXPECT_EQ(read(kRootCurrentUser, R"(Software\Shared)", "Bob's"), std::string("bob\0", 4));
  EXPECT_EQ(remove(kRootCurrentUser, R"(Software\Shared)", "Both"), kErrorSuccess);
  EXPECT_EQ(read(kRootCurrentUser, R"(Software\Shared)", "Both"), "(error 2)");
  EXPECT_EQ(remove(kRootCurrentUser, R"(Software\Shared)", "Both"), kErrorFileNotFound);
  for (platform::offline::HiveFile* user : machine.hives.users()) {
    EXPECT_TRUE(user->changed()) << user->path();
    EXPECT_TRUE(offline_test::lookAtOpenHive(*user, [](hive_h* hive) {
      EXPECT_FALSE(offline_test::hasValue(hive, R"(Software\Shared)", "Both"));
    }));
  }
  EXPECT_FALSE(machine.hives.software()->changed());
}

TEST_F(OfflineRegistryTest, EachRootLeadsToItsHiveAndNothingElseExists) {
  const std::string& root = machine.tree.root();
  offline_test::editOpenHive(root, *machine.hives.defaultUser(), [](hive_h* hive) {
    offline_test::setString(hive, R"(Software\Run)", "x", "default");
  });
  offline_test::editOpenHive(root, *machine.hives.system(), [](hive_h* hive) {
    offline_test::setDword(hive, "Select", "Current", 1);
  });
  EXPECT_EQ(read(kRootUsers, R"(.DEFAULT\Software\Run)", "x"), std::string("default\0", 8));
  EXPECT_EQ(read(kRootLocalMachine, R"(SYSTEM\Select)", "Current"), std::string("\1\0\0\0", 4));
  EXPECT_EQ(
      read(kRootLocalMachine, R"(Software\Microsoft\Windows\CurrentVersion\Run)", "Sound Mixer"),
      std::string(R"(C:\WINDOWS\mixer.exe)") + '\0');
  for (const char* absent : {"SAM", R"(HARDWARE\DESCRIPTION)", R"(Software\\Microsoft)",
                             R"(\Software)", R"(Software\)"}) {
    EXPECT_EQ(read(kRootLocalMachine, absent, "x"), "(error 2)") << absent;
  }
  EXPECT_EQ(read(kRootUsers, R"(S-1-5-18\Software)", "x"), "(error 2)");

  platform::Registry& registry = *machine.registry;
  platform::Handle untouched = 0x1234;
  EXPECT_EQ(registry.openKey(platform::kRootPerformanceData, "", platform::kKeyRead, untouched),
            kErrorFileNotFound);
  EXPECT_EQ(registry.openKey(0x4321, "Software", platform::kKeyRead, untouched),
            platform::kErrorInvalidHandle);
  EXPECT_EQ(untouched, 0x1234u);
  std::uint32_t size = 0;
  EXPECT_NE(registry.queryValue(platform::kRootPerformanceData, "Global", nullptr, nullptr, &size),
            kErrorSuccess);

  // The machine's root holds no values, but keys open below an open root.
  platform::Handle machineRoot = platform::kNoHandle;
  ASSERT_EQ(registry.openKey(kRootLocalMachine, "", platform::kKeyRead, machineRoot),
            kErrorSuccess);
  platform::Handle select = platform::kNoHandle;
  EXPECT_EQ(registry.openKey(machineRoot, R"(System\Select)", platform::kKeyRead, select),
            kErrorSuccess);
  EXPECT_EQ(registry.closeKey(select), kErrorSuccess);
  EXPECT_EQ(registry.closeKey(machineRoot), kErrorSuccess);
  EXPECT_EQ(registry.closeKey(machineRoot), platform::kErrorInvalidHandle);
}

TEST_F(OfflineRegistryTest, StringsAreHandedOutAsSingleByteTextAndOtherDataAsStored) {
  offline_test::editOpenHive(machine.tree.root(), *machine.hives.software(), [](hive_h* software) {
    // "Ä" is Latin-1; the euro sign is not.
    offline_test::setValue(software, "Text", "Latin", platform::kRegSz,
                           std::string("\xC4\0\xAC\x20\0\0", 6));
    offline_test::setValue(software, "Text", "Odd", platform::kRegSz, std::string("abc", 3));
    offline_test::setValue(software, "Text", "Blob", platform::kRegBinary,
                           std::string("a\0b\0", 4));
  });
  EXPECT_EQ(read(kRootLocalMachine, R"(Software\Text)", "Latin"), std::string("\xC4?\0", 3));
  EXPECT_EQ(read(kRootLocalMachine, R"(Software\Text)", "Odd"), "abc");
  EXPECT_EQ(read(kRootLocalMachine, R"(Software\Text)", "Blob"), std::string("a\0b\0", 4));
}

TEST_F(OfflineRegistryTest, DeletingAValueKeepsEveryOtherValueOfItsKeyExactly) {
  platform::offline::HiveFile& hive = *machine.hives.software();
  const char* key = "Busy";
  const std::vector<std::pair<std::string, std::uint32_t>> neighbours = {
      {"", platform::kRegSz},         {"Name ", platform::kRegSz}, {"Blob", platform::kRegBinary},
      {"Count", platform::kRegDword}, {"Own type", 0x20000},       {"Big", platform::kRegBinary}};
  offline_test::editOpenHive(machine.tree.root(), hive, [&](hive_h* software) {
    for (const auto& [name, type] : neighbours) {
      std::string bytes = name == "Big" ? std::string(16000, 'b') : name + "-data";
      offline_test::setValue(software, key, name, type, bytes);
    }
    offline_test::setString(software, key, "Name", "doomed");
  });

  EXPECT_EQ(remove(kRootLocalMachine, R"(Software\Busy)", "Name"), kErrorSuccess);
  EXPECT_TRUE(offline_test::lookAtOpenHive(hive, [&](hive_h* software) {
    EXPECT_FALSE(offline_test::hasValue(software, key, "Name"));
    for (const auto& [name, type] : neighbours) {
      std::string bytes = name == "Big" ? std::string(16000, 'b') : name + "-data";
      EXPECT_EQ(offline_test::valueBytes(software, key, name), bytes) << "'" << name << "'";
      hive_value_h value =
          hivex_node_get_value(software, offline_test::findKey(software, key), name.c_str());
      std::uint32_t stored = 0;
      std::size_t length = 0;
      ASSERT_EQ(hivex_value_type(software, value, platform::offline::typeSlot(stored), &length), 0);
      EXPECT_EQ(stored, type) << "'" << name << "'";
    }
  }));

  // A value beside it that hivex could not write back as Windows keeps it: nothing is changed.
  offline_test::editOpenHive(machine.tree.root(), hive, [&](hive_h* software) {
    offline_test::setValue(software, key, "Big", platform::kRegBinary, std::string(20000, 'B'));
  });
  EXPECT_EQ(remove(kRootLocalMachine, R"(Software\Busy)", "Blob"),
            platform::offline::kErrorRegistryIo);
  EXPECT_TRUE(offline_test::lookAtOpenHive(hive, [&](hive_h* software) {
    EXPECT_EQ(offline_test::valueBytes(software, key, "Blob"), "Blob-data");
  }));
  EXPECT_FALSE(hive.spoiled());
  ASSERT_EQ(machine.hives.problems().size(), 1u);
  EXPECT_EQ(machine.hives.problems()[0].what,
            "the value \"Blob\" was kept: a value beside it could not be carried over");
}

}  // namespace
