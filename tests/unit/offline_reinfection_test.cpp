// Whether the worm can come back to an installation that is not running: its release read from
// its own hives, its rpcrt4.dll read below the root, and the keys of the fix in its SOFTWARE
// hive, through the offline implementation of the seam.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "offline/hive_builder.h"
#include "offline/offline_machine.h"
#include "platform/offline/installation_release.h"
#include "platform/offline/offline_file_system.h"
#include "platform/offline/offline_processes.h"
#include "platform/sim/simulated_windows.h"
#include "specimens/version_image.h"
#include "system/reinfection_verdict.h"

namespace {

namespace fs = std::filesystem;
using offline_test::Layout;
using offline_test::OfflineMachine;
using platform::TerminalServer;

// An installation tree seen through the whole offline seam (over a SimulatedWindows for the
// desktop and the clock, which the verdict does not use).
class OfflineVerdict {
 public:
  explicit OfflineVerdict(Layout layout) : machine_(layout) {}

  OfflineMachine& machine() { return machine_; }
  offline_test::InstallationTree& tree() { return machine_.tree; }
  // The system folder as the layout spells it: a second spelling would be a second folder here.
  std::string system32() {
    std::string config = tree().configFolder();
    return config.substr(0, config.rfind('\\'));
  }
  void addRpcRuntime(FileVersion version) {
    tree().addFile(system32() + R"(\rpcrt4.dll)",
                   specimens::versionImage(version.high >> 16, version.high & 0xFFFF,
                                           version.low >> 16, version.low & 0xFFFF)
                       .bytes);
  }
  void setProductSuite(const std::string& names, int controlSet = 1) {
    tree().editHive(tree().systemHive(), [&](hive_h* hive) {
      offline_test::setValue(
          hive, "ControlSet00" + std::to_string(controlSet) + R"(\Control\ProductOptions)",
          "ProductSuite", platform::kRegMultiSz, offline_test::utf16(names) + std::string(2, '\0'));
    });
  }
  void addSoftwareKey(const std::string& path) {
    tree().editHive(tree().softwareHive(),
                    [&](hive_h* hive) { offline_test::ensureKey(hive, path); });
  }

  ReinfectionVerdict judge() {
    machine_.open();
    platform::offline::OfflineFileSystem files(machine_.rooted, machine_.installation);
    platform::offline::OfflineProcesses processes(*machine_.registry, machine_.installation.kind);
    platform::Os os = platform::installed();
    os.files = &files;
    os.processes = &processes;
    platform::ScopedInstall offline(os);
    ReinfectionVerdict verdict = judgeReinfection();
    EXPECT_EQ(files.openHandleCount(), 0u);
    return verdict;
  }

 private:
  sim::SimulatedWindows sim_;
  OfflineMachine machine_;
};

struct Case {
  const char* what;
  Layout layout;
  const char* version;       // CurrentVersion; null to keep the layout's
  const char* servicePack;   // CSDVersion ("" for none)
  const char* productSuite;  // null for none
  std::optional<FileVersion> file;
  const char* key;  // below the SOFTWARE hive's root; null for none
  Reinfection verdict;
  ReinfectionBasis basis;
};

const Case kCases[] = {
    {"XP SP1 as released", Layout::kXp, "5.1", "Service Pack 1", nullptr,
     fileVersion(5, 1, 2600, 1106), nullptr, Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"XP SP1 at its fix", Layout::kXp, "5.1", "Service Pack 1", nullptr,
     fileVersion(5, 1, 2600, 1230), nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"XP without a service pack at its fix", Layout::kXp, "5.1", "", nullptr,
     fileVersion(5, 1, 2600, 109), nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"XP SP2 without the file", Layout::kXp, nullptr, nullptr, nullptr, std::nullopt, nullptr,
     Reinfection::kFixed, ReinfectionBasis::kServicePack},
    {"2000 SP4 without the file, with the fix's key", Layout::kXp, "5.0", "Service Pack 4", nullptr,
     std::nullopt, R"(Microsoft\Updates\Windows 2000\SP5\KB823980)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"2000 SP4 with neither file nor key", Layout::kXp, "5.0", "Service Pack 4", nullptr,
     std::nullopt, nullptr, Reinfection::kUnknown, ReinfectionBasis::kNothing},
    {"NT 4.0 at its fix", Layout::kXp, "4.0", "Service Pack 6", "Enterprise",
     fileVersion(4, 0, 1381, 7219), nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"NT 4.0 Terminal Server at plain NT 4.0's fix", Layout::kXp, "4.0", "Service Pack 6",
     "Terminal Server", fileVersion(4, 0, 1381, 7219), nullptr, Reinfection::kMissing,
     ReinfectionBasis::kFileVersion},
    {"NT 4.0 Terminal Server with MS03-039's hotfix key", Layout::kXp, "4.0", "Service Pack 6",
     "Terminal Server", std::nullopt, R"(Microsoft\Windows NT\CurrentVersion\Hotfix\Q824146)",
     Reinfection::kFixed, ReinfectionBasis::kHotfixKey},
    {"7", Layout::kSeven, nullptr, nullptr, nullptr, fileVersion(6, 1, 7601, 17514), nullptr,
     Reinfection::kNotAffected, ReinfectionBasis::kSystemVersion},
    {"98", Layout::kNineX, nullptr, nullptr, nullptr, std::nullopt, nullptr,
     Reinfection::kNotAffected, ReinfectionBasis::kSystemVersion},
};

TEST(OfflineReinfection, EachInstallationIsJudgedFromItsOwnHivesAndFiles) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    OfflineVerdict installation(c.layout);
    if (c.version != nullptr) installation.tree().setRelease(c.version, c.servicePack);
    if (c.productSuite != nullptr) installation.setProductSuite(c.productSuite);
    if (c.file) installation.addRpcRuntime(*c.file);
    if (c.key != nullptr) installation.addSoftwareKey(c.key);

    ReinfectionVerdict verdict = installation.judge();

    EXPECT_EQ(reinfectionName(verdict.verdict), std::string(reinfectionName(c.verdict)));
    EXPECT_EQ(reinfectionBasisName(verdict.basis), std::string(reinfectionBasisName(c.basis)));
    EXPECT_TRUE(verdict.releaseKnown) << installation.machine().problems();
    EXPECT_EQ(verdict.fileVersionRead, c.file.has_value() && c.layout == Layout::kXp);
    if (verdict.fileVersionRead) {
      EXPECT_STREQ(verdict.rpcRuntimePath, R"(C:\WINDOWS\system32\rpcrt4.dll)");
    }
    if (c.basis == ReinfectionBasis::kHotfixKey) {
      EXPECT_EQ(verdict.hotfixKey, std::string(R"(SOFTWARE\)") + c.key);
    }
  }
}

TEST(OfflineReinfection, AnRpcRuntimeThatIsALinkIsNotFollowed) {
  OfflineVerdict installation(Layout::kXp);
  installation.tree().setRelease("5.0", "Service Pack 4");
  offline_test::InstallationTree outside(Layout::kXp, {});
  outside.addFile("rpcrt4.dll", specimens::versionImage(5, 0, 2195, 7000).bytes);
  fs::create_symlink(outside.host("rpcrt4.dll"),
                     installation.tree().host(installation.system32() + R"(\rpcrt4.dll)"));

  ReinfectionVerdict verdict = installation.judge();

  EXPECT_EQ(verdict.verdict, Reinfection::kUnknown);
  EXPECT_FALSE(verdict.fileVersionRead);
}

// What the installation's registry says of its release, and what it cannot say.
TEST(OfflineReinfection, TheReleaseIsReadFromTheHivesAndNothingIsGuessed) {
  struct ReleaseCase {
    const char* what;
    std::function<void(OfflineVerdict&)> edit;
    bool known;
    TerminalServer terminalServer;
  };
  const ReleaseCase cases[] = {
      {"a product suite naming Terminal Server among others",
       [](OfflineVerdict& i) { i.setProductSuite(std::string("Enterprise\0Terminal Server", 26)); },
       true, TerminalServer::kYes},
      {"a product suite without it", [](OfflineVerdict& i) { i.setProductSuite("Enterprise"); },
       true, TerminalServer::kNo},
      {"the suite in a control set that is not in use",
       [](OfflineVerdict& i) { i.setProductSuite("Terminal Server", 2); }, true,
       TerminalServer::kNo},
      {"the suite in the control set in use, not the first",
       [](OfflineVerdict& i) {
         i.setProductSuite("Terminal Server", 2);
         i.tree().editHive(i.tree().systemHive(), [](hive_h* hive) {
           offline_test::setDword(hive, "Select", "Current", 2);
         });
       },
       true, TerminalServer::kYes},
      {"a control set in use that does not exist",
       [](OfflineVerdict& i) {
         i.tree().editHive(i.tree().systemHive(), [](hive_h* hive) {
           offline_test::setDword(hive, "Select", "Current", 7);
         });
       },
       true, TerminalServer::kUnknown},
      {"a product suite that is no list of names",
       [](OfflineVerdict& i) {
         i.tree().editHive(i.tree().systemHive(), [](hive_h* hive) {
           offline_test::setString(hive, R"(ControlSet001\Control\ProductOptions)", "ProductSuite",
                                   "Terminal Server");
         });
       },
       true, TerminalServer::kUnknown},
      {"a version that is not one", [](OfflineVerdict& i) { i.tree().setRelease("5", ""); }, false,
       TerminalServer::kUnknown},
      {"a version with words", [](OfflineVerdict& i) { i.tree().setRelease("5.1 beta", ""); },
       false, TerminalServer::kUnknown},
      {"a service pack that is no text",
       [](OfflineVerdict& i) {
         i.tree().editHive(i.tree().softwareHive(), [](hive_h* hive) {
           offline_test::setDword(hive, R"(Microsoft\Windows NT\CurrentVersion)", "CSDVersion",
                                  0x100);
         });
       },
       false, TerminalServer::kUnknown},
      {"no version key",
       [](OfflineVerdict& i) {
         i.tree().editHive(i.tree().softwareHive(), [](hive_h* hive) {
           hivex_node_delete_child(
               hive, offline_test::findKey(hive, R"(Microsoft\Windows NT\CurrentVersion)"));
         });
       },
       false, TerminalServer::kUnknown},
  };
  for (const ReleaseCase& c : cases) {
    SCOPED_TRACE(c.what);
    OfflineVerdict installation(Layout::kXp);
    c.edit(installation);
    installation.machine().open();
    platform::ReleaseInfo release;
    bool known = platform::offline::readInstallationRelease(
        *installation.machine().registry, installation.machine().installation.kind, release);
    EXPECT_EQ(known, c.known);
    if (known) {
      EXPECT_EQ(release.version.majorVersion, 5u);
      EXPECT_EQ(release.version.minorVersion, 1u);
      EXPECT_STREQ(release.servicePack, "Service Pack 2");
      EXPECT_EQ(release.terminalServer, c.terminalServer);
    }
  }
}

}  // namespace
