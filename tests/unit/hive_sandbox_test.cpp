// The hives of a mounted installation are parsed and edited only by unprivileged children: what
// the children are allowed, what happens when one crashes, aborts, hangs or returns a hive that
// is not the original less the removals asked for, the checks made before a service key is
// deleted or a value's data read (on hives crafted against the file format), and how much of a
// hive file is read at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>
#include <map>

#include "contract/worm_footprint.h"
#include "engine/registry_cleanup.h"
#include "offline/empty_hive.h"
#include "offline/hive_builder.h"
#include "offline/infected_installation.h"
#include "offline/offline_machine.h"
#include "platform/offline/hive_editor.h"
#include "platform/offline/hive_file.h"
#include "rescue/rescue.h"
#include "scan/scan_session.h"
#include "sim_fixture.h"

namespace {

using offline_test::InstallationTree;
using offline_test::Layout;
using platform::offline::HiveEditor;
using platform::offline::HiveFault;
using platform::offline::HiveFile;
using platform::offline::Lookup;
using platform::offline::SandboxFault;
using platform::offline::ScopedFd;
using platform::offline::ServiceDeletion;

const char kServices[] = R"(ControlSet001\Services)";
const char kWorm[] = R"(ControlSet001\Services\RpcTftpd)";
const char kTcpip[] = R"(ControlSet001\Services\Tcpip)";
const char kRun[] = R"(Microsoft\Windows\CurrentVersion\Run)";

ScopedFd memoryFile(const std::string& bytes) {
  ScopedFd file(memfd_create("test-hive", MFD_CLOEXEC));
  EXPECT_TRUE(file);
  EXPECT_EQ(write(file.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  return file;
}

std::string bytesOf(int fd) {
  struct stat status;
  EXPECT_EQ(fstat(fd, &status), 0);
  std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
  EXPECT_EQ(pread(fd, &bytes[0], bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  return bytes;
}

// A hive built in a memory file through hivex: its bytes.
std::string builtHive(const std::function<void(hive_h*)>& fill) {
  ScopedFd file(memfd_create("built-hive", MFD_CLOEXEC));
  offline_test::writeHive("/proc/self/fd/" + std::to_string(file.get()), fill);
  return bytesOf(file.get());
}

// A SYSTEM hive with the worm's service (with an Enum subkey) beside Tcpip; `nesting` keys more
// below the worm's Enum key, each inside the last.
std::string systemHive(int nesting = 0) {
  return builtHive([nesting](hive_h* hive) {
    offline_test::setString(hive, kWorm, "ImagePath", R"(C:\WINDOWS\system32\rpctftpd.exe)", 2);
    offline_test::setDword(hive, kWorm, "Type", 0x10);
    offline_test::setDword(hive, kWorm, "Start", 2);
    offline_test::setDword(hive, std::string(kWorm) + R"(\Enum)", "Count", 1);
    offline_test::setString(hive, kTcpip, "ImagePath", R"(system32\DRIVERS\tcpip.sys)", 2);
    hive_node_h node = offline_test::findKey(hive, std::string(kWorm) + R"(\Enum)");
    for (int level = 0; level < nesting && node != 0; ++level) {
      node = hivex_node_add_child(hive, node, "k");
    }
    ASSERT_NE(node, 0u);
  });
}

struct Outcome {
  ServiceDeletion deletion;
  std::vector<std::string> deleted;
  std::string why;
};

// The editor's deletion of the worm's service, in this process.
Outcome deleteWorm(const std::string& hive) {
  ScopedFd input = memoryFile(hive);
  ScopedFd scratch(memfd_create("scratch", MFD_CLOEXEC));
  int error = 0;
  std::unique_ptr<HiveEditor> editor = HiveEditor::open(input.get(), scratch.get(), error);
  EXPECT_TRUE(editor) << std::strerror(error);
  Outcome outcome{ServiceDeletion::kSpoiled, {}, "not opened"};
  if (editor) outcome.deletion = editor->deleteService("rpctftpd", outcome.deleted, outcome.why);
  return outcome;
}

TEST(HiveEditorTest, ASoundServiceKeyIsDeletedFromItsControlSet) {
  Outcome outcome = deleteWorm(systemHive());
  EXPECT_EQ(outcome.deletion, ServiceDeletion::kDeleted) << outcome.why;
  EXPECT_EQ(outcome.deleted, std::vector<std::string>{R"(ControlSet001\Services\RpcTftpd)"});
}

TEST(HiveEditorTest, AServiceKeyThatHivexCouldNotDeleteSafelyIsLeft) {
  const std::string sound = systemHive();
  const std::size_t worm = offline_test::keyOffset(sound, kWorm);
  const std::size_t tcpip = offline_test::keyOffset(sound, kTcpip);
  const std::size_t security =
      offline_test::field32(sound, worm + offline_test::kKeySecurity) + 0x1000u;
  const std::size_t values =
      offline_test::field32(sound, worm + offline_test::kKeyValueList) + 0x1000u;
  const std::size_t subkeys =
      offline_test::field32(sound, worm + offline_test::kKeySubkeyList) + 0x1000u;
  using offline_test::setField32;
  struct Case {
    const char* what;
    std::function<void(std::string&)> craft;
    const char* why;
  };
  const std::vector<Case> cases = {
      // delete_sk would write through these links when the record's last user goes.
      {"security record linked to places chosen by the hive",
       [&](std::string& h) {
         setField32(h, security + offline_test::kSecurityUsers, 2);
         setField32(h, security + offline_test::kSecurityNext, 0x7FFFFFF0);
         setField32(h, security + offline_test::kSecurityPrevious, 0x110);
       },
       "links to a neighbour that is not a security record"},
      {"security record whose neighbours do not link back",
       [&](std::string& h) {
         setField32(h, security + offline_test::kSecurityNext,
                    offline_test::stored(offline_test::keyOffset(h, "")) + 0);
       },
       "security record"},
      {"class name that is not a cell",
       [&](std::string& h) {
         setField32(h, worm + offline_test::kKeyClassName, offline_test::stored(worm) + 8);
       },
       "class name"},
      {"a value list naming one value twice",
       [&](std::string& h) { setField32(h, values + 8, offline_test::field32(h, values + 4)); },
       "met twice"},
      {"another service's key listed as its subkey",
       [&](std::string& h) {
         setField32(h, subkeys + offline_test::kListFirstEntry, offline_test::stored(tcpip));
       },
       "names another parent"},
      {"its own key listed as its subkey",
       [&](std::string& h) {
         setField32(h, subkeys + offline_test::kListFirstEntry, offline_test::stored(worm));
       },
       "another parent"},
  };
  for (const Case& c : cases) {
    std::string crafted = sound;
    c.craft(crafted);
    Outcome outcome = deleteWorm(crafted);
    EXPECT_EQ(outcome.deletion, ServiceDeletion::kRefused) << c.what;
    EXPECT_NE(outcome.why.find(kWorm), std::string::npos) << c.what << ": " << outcome.why;
    EXPECT_NE(outcome.why.find(c.why), std::string::npos) << c.what << ": " << outcome.why;
    EXPECT_TRUE(outcome.deleted.empty()) << c.what;
  }
}

TEST(HiveEditorTest, AServiceKeyNestedDeeperThanHivexRecursesSafelyIsLeft) {
  // hivex's recursive delete overflows the stack on keys this deep.
  Outcome outcome = deleteWorm(systemHive(100000));
  EXPECT_EQ(outcome.deletion, ServiceDeletion::kRefused);
  EXPECT_NE(outcome.why.find("deeper than 512"), std::string::npos) << outcome.why;
  // As deep as is allowed, it goes.
  outcome = deleteWorm(systemHive(500));
  EXPECT_EQ(outcome.deletion, ServiceDeletion::kDeleted) << outcome.why;
}

TEST(HiveEditorTest, AValueWhoseDataRunPastItsCellIsNotRead) {
  std::string hive = builtHive([](hive_h* h) {
    offline_test::setString(h, kRun, "windows auto update", "msblast.exe");
    offline_test::setString(h, kRun, "Sound Mixer", "mixer.exe");
  });
  std::size_t value = offline_test::valueOffset(hive, kRun, "windows auto update");
  offline_test::setField32(hive, value + offline_test::kValueDataLength, 0x00100000);
  ScopedFd input = memoryFile(hive);
  ScopedFd scratch(memfd_create("scratch", MFD_CLOEXEC));
  int error = 0;
  std::unique_ptr<HiveEditor> editor = HiveEditor::open(input.get(), scratch.get(), error);
  ASSERT_TRUE(editor);
  const std::vector<std::string> run = {"Microsoft", "Windows", "CurrentVersion", "Run"};
  std::uint32_t type = 0;
  std::string data;
  std::string why;
  EXPECT_EQ(editor->queryValue(run, "windows auto update", type, data, why), Lookup::kFailed);
  EXPECT_NE(why.find("claims more data than its cell holds"), std::string::npos) << why;
  // Its neighbour would be read to be written back: the removal of any of them is refused too.
  EXPECT_EQ(editor->removeValue(run, "Sound Mixer", why), platform::offline::ValueRemoval::kFailed);
  EXPECT_EQ(editor->queryValue(run, "Sound Mixer", type, data, why), Lookup::kFound);
}

// What the rescue reads of an installation's settings: bounded, and only where the cells hold it.
TEST(HiveEditorTest, SettingsAreReadWithinTheirBoundsAndOnlyFromSoundCells) {
  const char list[] = R"(Microsoft\Windows NT\CurrentVersion\ProfileList)";
  std::string hive = builtHive([&](hive_h* h) {
    for (int i = 0; i < 5; ++i) {
      offline_test::setString(h, std::string(list) + "\\S-1-5-21-" + std::to_string(i),
                              "ProfileImagePath", R"(C:\Users\user)" + std::to_string(i), 2);
    }
    offline_test::setString(h, list, "ProfilesDirectory", "%SystemDrive%\\Users", 2);
    offline_test::setString(h, list, "Long", std::string(600, 'x'), 2);
    offline_test::setDword(h, list, "Number", 7);
    offline_test::setValue(h, list, "Chinese", 1, std::string("C\0:\0\\\0\x2D\x4E\0\0", 10));
  });
  std::size_t broken =
      offline_test::valueOffset(hive, std::string(list) + "\\S-1-5-21-4", "ProfileImagePath");
  offline_test::setField32(hive, broken + offline_test::kValueDataLength, 0x00100000);
  ScopedFd input = memoryFile(hive);
  ScopedFd scratch(memfd_create("scratch", MFD_CLOEXEC));
  int error = 0;
  std::unique_ptr<HiveEditor> editor = HiveEditor::open(input.get(), scratch.get(), error);
  ASSERT_TRUE(editor);
  const std::vector<std::string> path = {"Microsoft", "Windows NT", "CurrentVersion",
                                         "ProfileList"};

  std::vector<std::string> names;
  std::uint32_t total = 0;
  std::string why;
  ASSERT_EQ(editor->subkeyNames(path, 3, names, total, why), Lookup::kFound);
  EXPECT_EQ(total, 5u);
  EXPECT_EQ(names, (std::vector<std::string>{"S-1-5-21-0", "S-1-5-21-1", "S-1-5-21-2"}));
  EXPECT_EQ(editor->subkeyNames({"Absent"}, 3, names, total, why), Lookup::kAbsent);

  std::uint32_t type = 0;
  std::string text;
  EXPECT_EQ(editor->queryText(path, "ProfilesDirectory", 1000, type, text, why), Lookup::kFound);
  EXPECT_EQ(text, "%SystemDrive%\\Users");
  EXPECT_EQ(type, 2u);
  EXPECT_EQ(editor->queryText(path, "Chinese", 1000, type, text, why), Lookup::kFound);
  EXPECT_EQ(text, "C:\\\xE4\xB8\xAD");
  EXPECT_EQ(editor->queryText(path, "Long", 1000, type, text, why), Lookup::kFailed);
  EXPECT_EQ(why, "it is longer than 1000 bytes (1202)");
  EXPECT_EQ(editor->queryText(path, "Number", 1000, type, text, why), Lookup::kFailed);
  EXPECT_EQ(why, "it is not a string (type 4)");
  EXPECT_EQ(editor->queryText(path, "Absent", 1000, type, text, why), Lookup::kAbsent);
  std::vector<std::string> brokenKey = path;
  brokenKey.push_back("S-1-5-21-4");
  EXPECT_EQ(editor->queryText(brokenKey, "ProfileImagePath", 1000, type, text, why),
            Lookup::kFailed);
  EXPECT_NE(why.find("claims more data than its cell holds"), std::string::npos) << why;
}

TEST(HiveEditorTest, ValuesThatShareACellAreNotRewritten) {
  // hivex frees every value of a key when it sets them anew: a data cell or a value record that
  // two of them share would be freed twice, and hivex would abort.
  const std::vector<std::string> run = {"Microsoft", "Windows", "CurrentVersion", "Run"};
  std::string sound = builtHive([](hive_h* h) {
    offline_test::setString(h, kRun, "windows auto update", "msblast.exe");
    offline_test::setString(h, kRun, "Sound Mixer", "mixer.exe");
  });
  std::size_t worm = offline_test::valueOffset(sound, kRun, "windows auto update");
  std::size_t mixer = offline_test::valueOffset(sound, kRun, "Sound Mixer");
  std::string sharedData = sound;
  offline_test::setField32(sharedData, mixer + offline_test::kValueData,
                           offline_test::field32(sound, worm + offline_test::kValueData));
  for (bool shared : {true, false}) {
    ScopedFd input = memoryFile(shared ? sharedData : sound);
    ScopedFd scratch(memfd_create("scratch", MFD_CLOEXEC));
    int error = 0;
    std::unique_ptr<HiveEditor> editor = HiveEditor::open(input.get(), scratch.get(), error);
    ASSERT_TRUE(editor);
    std::string why;
    platform::offline::ValueRemoval removal = editor->removeValue(run, "windows auto update", why);
    if (shared) {
      EXPECT_EQ(removal, platform::offline::ValueRemoval::kFailed);
      EXPECT_NE(why.find("the data cell at"), std::string::npos) << why;
      EXPECT_NE(why.find("is met twice"), std::string::npos) << why;
    } else {
      EXPECT_EQ(removal, platform::offline::ValueRemoval::kRemoved) << why;
    }
  }
}

// --- The children, through the rescue and the hives' own class ---

std::map<std::string, std::string> hiveFiles(const InstallationTree& tree) {
  std::map<std::string, std::string> bytes;
  for (const std::string& hive : {tree.softwareHive(), tree.systemHive(), tree.defaultHive()}) {
    bytes[hive] = tree.fileBytes(hive);
  }
  for (const std::string& hive : tree.userHives()) bytes[hive] = tree.fileBytes(hive);
  return bytes;
}

struct RescueRun {
  int status = -1;
  std::string errors;
};

RescueRun rescue(const InstallationTree& tree, const platform::offline::SandboxSettings& sandbox) {
  resetScanSessionForTest();
  RescueSystem system;
  system.backupDate = "20030811";
  system.mountedReadOnly = [](const platform::offline::RootedTree&) { return false; };
  system.sandbox = sandbox;
  char* output = nullptr;
  char* errors = nullptr;
  std::size_t outputSize = 0, errorsSize = 0;
  std::FILE* outputStream = open_memstream(&output, &outputSize);
  std::FILE* errorsStream = open_memstream(&errors, &errorsSize);
  RescueRun run;
  run.status = runRescue({tree.root()}, outputStream, errorsStream, system);
  std::fclose(outputStream);
  std::fclose(errorsStream);
  run.errors.assign(errors, errorsSize);
  std::free(output);
  std::free(errors);
  return run;
}

TEST(HiveSandboxTest, TheEditorHasGivenUpRootAndWorksWithinLimits) {
  InstallationTree tree(Layout::kXp, {});
  platform::offline::RootedTree rooted;
  ASSERT_TRUE(rooted.open(tree.root().c_str()));
  HiveFile::OpenError error;
  std::unique_ptr<HiveFile> hive = HiveFile::open(rooted, tree.configFolder(), "SYSTEM", error);
  ASSERT_TRUE(hive);
  platform::offline::SandboxIdentity identity;
  ASSERT_TRUE(hive->editorIdentity(identity));
  EXPECT_TRUE(identity.noNewPrivileges);
  EXPECT_FALSE(identity.dumpable);
  EXPECT_FALSE(identity.regainedRoot);
#if defined(__x86_64__)
  EXPECT_TRUE(identity.filtered) << "a system call filter is loaded";
  EXPECT_TRUE(identity.networkRefused);
#endif
  EXPECT_EQ(identity.files, 16u);
  EXPECT_EQ(identity.processes, 0u);
  EXPECT_EQ(identity.stack, 8u * 1024 * 1024);
  EXPECT_EQ(identity.cpu, platform::offline::SandboxSettings().cpuSeconds);
  EXPECT_GT(identity.fileSize, hive->bytesRead());
  EXPECT_LT(identity.fileSize, hive->bytesRead() + 32u * 1024 * 1024);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(identity.addressSpace, 1024u * 1024 * 1024) << "the address space is limited";
#endif
  if (getuid() != 0) {
    GTEST_SKIP() << "NOT TESTED: these tests do not run as root, so the editor had no root to give "
                    "up; run them as root (as CI does) to test the drop to user "
                 << platform::offline::kSandboxId;
  }
  for (std::uint32_t id :
       {identity.uid, identity.euid, identity.suid, identity.gid, identity.egid, identity.sgid}) {
    EXPECT_EQ(id, platform::offline::kSandboxId);
  }
  EXPECT_EQ(identity.groups, 1u);
}

TEST(HiveSandboxTest, AChildThatFailsLeavesEveryHiveAsItWasAndNamesIt) {
  struct Case {
    SandboxFault fault;
    const char* said;
  };
  for (const Case& c : {Case{SandboxFault::kCrash, "crashed (signal 11)"},
                        Case{SandboxFault::kAbort, "aborted (signal 6)"},
                        Case{SandboxFault::kHang, "did not answer within 2 s and was killed"},
                        Case{SandboxFault::kDisagree, "has subkeys in the edited hive"}}) {
    InstallationTree tree(Layout::kXp);
    offline_test::Infection infection = offline_test::plantInfection(tree);
    std::map<std::string, std::string> before = hiveFiles(tree);
    platform::offline::SandboxSettings sandbox;
    sandbox.fault = c.fault;
    sandbox.timeoutSeconds = 2;
    RescueRun run = rescue(tree, sandbox);
    EXPECT_EQ(run.status, 2) << c.said;
    EXPECT_EQ(hiveFiles(tree), before) << c.said;
    for (const auto& [hive, bytes] : before) {
      EXPECT_NE(run.errors.find(offline_test::windowsPath(hive) + ": not changed: "),
                std::string::npos)
          << c.said << "\n"
          << run.errors;
      EXPECT_FALSE(std::filesystem::exists(tree.host(hive + ".vandrel-20030811"))) << hive;
    }
    EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
    // The files are cleaned all the same.
    for (const offline_test::PlantedFile& worm : infection.inScope) {
      EXPECT_FALSE(std::filesystem::exists(tree.host(worm.path))) << worm.path;
    }
  }
}

TEST(HiveSandboxTest, AServiceKeyListingAnotherServiceIsLeftAndNamedAndTheRestIsWritten) {
  InstallationTree tree(Layout::kXp);
  offline_test::plantInfection(tree);
  std::string system = tree.fileBytes(tree.systemHive());
  const std::size_t worm = offline_test::keyOffset(system, kWorm);
  const std::size_t subkeys =
      offline_test::field32(system, worm + offline_test::kKeySubkeyList) + 0x1000u;
  offline_test::setField32(system, subkeys + offline_test::kListFirstEntry,
                           offline_test::stored(offline_test::keyOffset(system, kTcpip)));
  tree.addFile(tree.systemHive(), system);

  RescueRun run = rescue(tree, platform::offline::SandboxSettings());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find(offline_test::windowsPath(tree.systemHive()) +
                            ": the service key \"RpcTftpd\" was left as it was: " + kWorm),
            std::string::npos)
      << run.errors;
  EXPECT_TRUE(tree.lookInHive(tree.systemHive(), [](hive_h* hive) {
    EXPECT_TRUE(offline_test::hasKey(hive, kTcpip));
    EXPECT_TRUE(offline_test::hasKey(hive, kWorm));
    EXPECT_FALSE(offline_test::hasKey(hive, R"(ControlSet001\Services\WksPatch)"));
  })) << run.errors;
  EXPECT_TRUE(tree.lookInHive(tree.systemHive(), [](hive_h* hive) {
    hive_node_h services = offline_test::findKey(hive, kServices);
    std::unique_ptr<hive_node_h, decltype(&std::free)> listed(hivex_node_children(hive, services),
                                                              &std::free);
    EXPECT_TRUE(listed) << "the Services key can be listed";
  }));
}

TEST(HiveSandboxTest, ARunValueWhoseDataRunPastItsCellIsNamedAndLeft) {
  InstallationTree tree(Layout::kXp);
  offline_test::plantInfection(tree);
  std::string software = tree.fileBytes(tree.softwareHive());
  std::size_t value = offline_test::valueOffset(software, kRun, "windows auto update");
  offline_test::setField32(software, value + offline_test::kValueDataLength, 0x00100000);
  tree.addFile(tree.softwareHive(), software);

  RescueRun run = rescue(tree, platform::offline::SandboxSettings());
  EXPECT_EQ(run.status, 2);
  const std::string named = offline_test::windowsPath(tree.softwareHive()) +
                            ": the value \"windows auto update\" of " + kRun + " cannot be read: ";
  std::size_t at = run.errors.find(named);
  EXPECT_NE(at, std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find(named, at + 1), std::string::npos) << "named once\n" << run.errors;
  EXPECT_TRUE(tree.lookInHive(tree.softwareHive(), [](hive_h* hive) {
    EXPECT_TRUE(offline_test::hasValue(hive, kRun, "windows auto update"));
  }));
}

TEST(HiveSandboxTest, AHiveIsReadOnlyAsFarAsItsHeaderSays) {
  InstallationTree tree(Layout::kXp, std::vector<std::string>{"alice"});
  offline_test::plantInfection(tree);
  const std::string user = tree.userHive("alice");
  const std::string hive = tree.fileBytes(user);
  const std::uint64_t declared = 4096 + offline_test::field32(hive, 40);
  // A file of 1.5 GiB of which the disk holds the hive alone.
  ASSERT_EQ(truncate(tree.host(user).c_str(), 1536ll * 1024 * 1024), 0);

  platform::offline::RootedTree rooted;
  ASSERT_TRUE(rooted.open(tree.root().c_str()));
  HiveFile::OpenError error;
  std::unique_ptr<HiveFile> opened =
      HiveFile::open(rooted, tree.profileFolder("alice"), "NTUSER.DAT", error);
  ASSERT_TRUE(opened);
  EXPECT_LE(opened->bytesRead(), declared + 4096);
  opened.reset();

  RescueRun run = rescue(tree, platform::offline::SandboxSettings());
  EXPECT_EQ(run.status, 1) << run.errors;
  struct stat written;
  ASSERT_EQ(stat(tree.host(user).c_str(), &written), 0);
  EXPECT_LE(static_cast<std::uint64_t>(written.st_size), declared + 64 * 1024);
  EXPECT_TRUE(tree.lookInHive(user, [](hive_h*) {}));

  // A header that declares more than a hive may hold: the file is not read at all.
  std::string huge = hive;
  offline_test::setField32(huge, 40, 0xF0000000u);
  offline_test::resealBaseBlock(huge);
  tree.addFile(user, huge);
  ASSERT_EQ(truncate(tree.host(user).c_str(), 0x100000000ll), 0);
  opened = HiveFile::open(rooted, tree.profileFolder("alice"), "NTUSER.DAT", error);
  EXPECT_FALSE(opened);
  EXPECT_EQ(error.fault, HiveFault::kTooLarge);
}

class HiveSandboxCleanupTest : public SimTest {};

TEST_F(HiveSandboxCleanupTest, EditorsBeyondTheLimitWaitInMemoryFilesAndAllAreWritten) {
  offline_test::OfflineMachine machine(Layout::kXp,
                                       std::vector<std::string>{"alice", "bob", "carol"});
  offline_test::plantInfection(machine.tree);
  machine.hives.sandbox().settings.liveEditors = 1;
  machine.open();
  EXPECT_EQ(machine.hives.sandbox().liveEditors(), 1u);
  cleanWormRegistry("W32/Blaster.Worm");
  EXPECT_EQ(machine.hives.sandbox().liveEditors(), 1u);
  std::vector<platform::offline::InstallationHives::Committed> committed;
  platform::offline::CommitOptions options;
  options.keepBackup = false;
  EXPECT_TRUE(machine.hives.commitChanged(options, committed)) << machine.problems();
  EXPECT_EQ(committed.size(), 6u);
  EXPECT_EQ(offline_test::registryProblemsAfterRescue(machine.tree), "");
}

}  // namespace
