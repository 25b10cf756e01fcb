// The registry of a mounted installation: the seam's contract over its hives, and how the roots
// map onto them.
#include <gtest/gtest.h>

#include <functional>

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
            "the value \"Blob\" of Busy was kept: a value beside it could not be carried over");
}

// --- Keys, lists and values that cannot be read ---

// The Run key below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE alike, and in a user's hive; in the
// SOFTWARE hive, below its root.
const char kUserRun[] = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const char kSoftwareRun[] = R"(Microsoft\Windows\CurrentVersion\Run)";

// The worm's value in SOFTWARE and in both users' hives, one hive's bytes spoilt before the
// machine is opened.
class SpoiltInstallation {
 public:
  void open(const std::string& hive, const std::function<void(std::string&)>& spoil) {
    auto& tree = machine.tree;
    tree.editHive(tree.softwareHive(), [](hive_h* h) {
      offline_test::setString(h, kSoftwareRun, "windows auto update", "msblast.exe");
    });
    for (const char* user : {"alice", "bob"}) {
      tree.editHive(tree.userHive(user), [](hive_h* h) {
        offline_test::setString(h, kUserRun, "windows auto update", "msblast.exe");
        offline_test::setString(h, kUserRun, "Sound Mixer", "mixer.exe");
      });
    }
    std::string bytes = tree.fileBytes(hive);
    spoil(bytes);
    tree.addFile(hive, bytes);
    spoilt = bytes;
    machine.open();
  }

  // Opens the Run key, asks for the worm's value and removes it; each result in turn.
  struct Results {
    long opened = -1, queried = -1, removed = -1;
  };
  Results cleanRun(platform::Handle root) {
    platform::Registry& registry = *machine.registry;
    Results results;
    platform::Handle key = platform::kNoHandle;
    results.opened = registry.openKey(root, kUserRun, platform::kKeyAllAccess, key);
    if (results.opened != kErrorSuccess) return results;
    char data[64];
    std::uint32_t size = sizeof data;
    results.queried = registry.queryValue(key, "windows auto update", nullptr, data, &size);
    results.removed = registry.deleteValue(key, "windows auto update");
    registry.closeKey(key);
    return results;
  }
  // The problems named for `hive`, one a line.
  std::string problemsOf(const std::string& hive) const {
    std::string named;
    for (const auto& problem : machine.hives.problems()) {
      if (problem.path == hive) named += problem.what + "\n";
    }
    return named;
  }

  sim::SimulatedWindows rest;
  OfflineMachine machine;
  std::string spoilt;
};

TEST(UnreadableRegistryTest, AKeyListOrNameOnThePathIsAProblemOfItsHiveNeverAbsence) {
  using offline_test::field32;
  using offline_test::keyOffset;
  using offline_test::setField16;
  using offline_test::setField32;
  using offline_test::stored;
  const std::string currentVersion = R"(Microsoft\Windows\CurrentVersion)";
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
    long opened;  // what opening the Run key gives
    const char* named;
  };
  const std::vector<Case> cases = {
      {"a subkey list that is no list",
       [&](std::string& h) {
         std::size_t key = keyOffset(h, currentVersion);
         setField32(h, key + offline_test::kKeySubkeyList, stored(key));
       },
       platform::offline::kErrorRegistryIo,
       R"(the key Microsoft\Windows\CurrentVersion\Run cannot be read: at Microsoft\Windows\CurrentVersion: its list of subkeys cannot be read)"},
      {"a key name longer than its cell",
       [&](std::string& h) {
         setField16(h, keyOffset(h, R"(Microsoft\Windows)") + offline_test::kKeyNameLength, 0x7FFF);
       },
       platform::offline::kErrorRegistryIo,
       R"(the key Microsoft\Windows\CurrentVersion\Run cannot be read: at Microsoft: the name of one of its subkeys cannot be read)"},
      {"two keys answering to the name",
       [&](std::string& h) {
         // "Rux", made beside Run below, renamed in place.
         std::size_t twin = keyOffset(h, currentVersion + R"(\Rux)");
         h.replace(twin + offline_test::kKeyName, 3, "RUN");
       },
       platform::offline::kErrorRegistryIo,
       R"(the key Microsoft\Windows\CurrentVersion\Run is not taken: at Microsoft\Windows\CurrentVersion: two of its subkeys answer to the name "Run")"},
      {"a value list that is no cell",
       [&](std::string& h) {
         std::size_t key = keyOffset(h, kSoftwareRun);
         setField32(h, key + offline_test::kKeyValueList, stored(key) + 8);
       },
       kErrorSuccess,
       R"(the value "windows auto update" of Microsoft\Windows\CurrentVersion\Run cannot be read: the key's list of values cannot be read)"},
      {"a value list naming one value twice",
       [&](std::string& h) {
         std::size_t list = field32(h, keyOffset(h, kSoftwareRun) + offline_test::kKeyValueList);
         setField32(h, list + 0x1000 + 8, field32(h, list + 0x1000 + 4));
       },
       kErrorSuccess, "the key's list of values names one value twice"},
      {"a value name longer than its cell",
       [&](std::string& h) {
         setField16(h,
                    offline_test::valueOffset(h, kSoftwareRun, "Sound Mixer") +
                        offline_test::kValueNameLength,
                    0x7FFF);
       },
       kErrorSuccess, "the name of one of the key's values cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SpoiltInstallation one;
    one.machine.tree.editHive(one.machine.tree.softwareHive(), [](hive_h* h) {
      offline_test::ensureKey(h, R"(Microsoft\Windows\CurrentVersion\Rux)");
    });
    one.open(one.machine.tree.softwareHive(), c.spoil);
    SpoiltInstallation::Results results = one.cleanRun(kRootLocalMachine);
    EXPECT_EQ(results.opened, c.opened);
    if (results.opened == kErrorSuccess) {
      EXPECT_EQ(results.queried, platform::offline::kErrorRegistryIo);
      EXPECT_EQ(results.removed, platform::offline::kErrorRegistryIo);
    }
    std::string named = one.problemsOf(one.machine.tree.softwareHive());
    EXPECT_NE(named.find(c.named), std::string::npos) << named;
    EXPECT_FALSE(one.machine.hives.software()->changed());
    EXPECT_EQ(one.machine.tree.fileBytes(one.machine.tree.softwareHive()), one.spoilt);
  }
}

TEST(UnreadableRegistryTest, OneUsersCopyThatCannotBeReadKeepsNoOtherUserUncleaned) {
  SpoiltInstallation one;
  auto& machine = one.machine;
  one.open(machine.tree.userHive("alice"), [](std::string& h) {
    std::size_t value = offline_test::valueOffset(h, kUserRun, "windows auto update");
    offline_test::setField32(h, value + offline_test::kValueDataLength, 0x00100000);
  });
  std::vector<platform::offline::HiveFile*> users = machine.hives.users();
  ASSERT_EQ(users.size(), 2u) << machine.problems();

  SpoiltInstallation::Results results = one.cleanRun(kRootCurrentUser);
  EXPECT_EQ(results.opened, kErrorSuccess);
  EXPECT_EQ(results.queried, kErrorSuccess) << "bob's copy can be read";
  EXPECT_EQ(results.removed, kErrorSuccess);
  EXPECT_FALSE(users[0]->changed());
  EXPECT_TRUE(offline_test::lookAtOpenHive(*users[1], [](hive_h* hive) {
    EXPECT_EQ(offline_test::copiesOf(hive, kUserRun, "windows auto update"), 0);
    EXPECT_TRUE(offline_test::hasValue(hive, kUserRun, "Sound Mixer"));
  }));
  std::string named = one.problemsOf(machine.tree.userHive("alice"));
  EXPECT_NE(named.find(R"(the value "windows auto update" of )" + std::string(kUserRun) +
                       " cannot be read: "),
            std::string::npos)
      << machine.problems();
  EXPECT_EQ(one.problemsOf(machine.tree.userHive("bob")), "");
}

TEST(UnreadableRegistryTest, OneUsersKeyThatCannotBeReadStillOpensInTheOthers) {
  SpoiltInstallation one;
  auto& machine = one.machine;
  one.open(machine.tree.userHive("bob"), [](std::string& h) {
    std::size_t key = offline_test::keyOffset(h, R"(Software\Microsoft)");
    offline_test::setField32(h, key + offline_test::kKeySubkeyList, offline_test::stored(key));
  });

  SpoiltInstallation::Results results = one.cleanRun(kRootCurrentUser);
  EXPECT_EQ(results.opened, kErrorSuccess);
  EXPECT_EQ(results.queried, kErrorSuccess);
  EXPECT_EQ(results.removed, kErrorSuccess);
  EXPECT_TRUE(machine.hives.users()[0]->changed());
  EXPECT_FALSE(machine.hives.users()[1]->changed());
  EXPECT_NE(one.problemsOf(machine.tree.userHive("bob"))
                .find(std::string("the key ") + kUserRun +
                      R"( cannot be read: at Software\Microsoft: its list of subkeys)"),
            std::string::npos)
      << machine.problems();
}

}  // namespace
