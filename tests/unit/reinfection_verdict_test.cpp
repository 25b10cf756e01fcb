// Whether the worm can come back: each system's verdict on a simulated machine, told from its
// release, the file version of rpcrt4.dll in its system folder, and the keys of the fix.
#include "system/reinfection_verdict.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/sim/simulated_windows.h"
#include "specimens/pe_image_builder.h"
#include "specimens/version_image.h"

namespace {

using platform::TerminalServer;

const char kRpcRuntime[] = R"(C:\WINDOWS\system32\rpcrt4.dll)";
const std::uint32_t kNt = platform::kPlatformIdNt;

struct Release {
  platform::VersionInfo version;
  const char* servicePack;
  TerminalServer terminalServer = TerminalServer::kNo;
};

const Release kNt4{{kNt, 4, 0}, "Service Pack 6"};
const Release kNt4TerminalServer{{kNt, 4, 0}, "Service Pack 6", TerminalServer::kYes};
const Release kNt4EditionUntold{{kNt, 4, 0}, "Service Pack 6", TerminalServer::kUnknown};
const Release k2000{{kNt, 5, 0}, "Service Pack 4"};
const Release k2000Gold{{kNt, 5, 0}, ""};
const Release kXpGold{{kNt, 5, 1}, ""};
const Release kXpServicePack1{{kNt, 5, 1}, "Service Pack 1a"};
const Release kXpServicePack2{{kNt, 5, 1}, "Service Pack 2"};
const Release kXpServicePack3{{kNt, 5, 1}, "Service Pack 3"};
const Release kXpServicePackUntold{{kNt, 5, 1}, "Beta 2"};
const Release k2003Gold{{kNt, 5, 2}, ""};
const Release k2003ServicePack1{{kNt, 5, 2}, "Service Pack 1"};

// A machine of `release`, installed for as long as it lives.
struct Machine {
  explicit Machine(const Release& release) {
    sim.processes.setVersion(release.version);
    sim.processes.setServicePack(release.servicePack);
    sim.processes.setTerminalServer(release.terminalServer);
  }
  ~Machine() { EXPECT_EQ(sim.openHandleCount(), 0u) << sim.dump(); }

  void addRpcRuntime(FileVersion version, const char* path = kRpcRuntime) {
    sim.files.addFile(path, specimens::versionImage(version.high >> 16, version.high & 0xFFFF,
                                                    version.low >> 16, version.low & 0xFFFF)
                                .bytes);
  }
  void addKey(const std::string& path) { sim.registry.addKey(platform::kRootLocalMachine, path); }

  sim::SimulatedWindows sim;
};

// One machine: its release, its rpcrt4.dll (none when empty), one key, and the verdict.
struct Case {
  const char* what;
  Release release;
  std::optional<FileVersion> file;
  const char* key;
  Reinfection verdict;
  ReinfectionBasis basis;
};

std::string describe(Reinfection verdict, ReinfectionBasis basis) {
  return std::string(reinfectionName(verdict)) + " from " + reinfectionBasisName(basis);
}
std::string describe(const ReinfectionVerdict& verdict) {
  return describe(verdict.verdict, verdict.basis);
}

const Case kFileVersionCases[] = {
    {"NT 4.0 below its fix", kNt4, fileVersion(4, 0, 1381, 7218), nullptr, Reinfection::kMissing,
     ReinfectionBasis::kFileVersion},
    {"NT 4.0 at its fix", kNt4, fileVersion(4, 0, 1381, 7219), nullptr, Reinfection::kFixed,
     ReinfectionBasis::kFileVersion},
    {"NT 4.0 Terminal Server at plain NT 4.0's fix", kNt4TerminalServer,
     fileVersion(4, 0, 1381, 7219), nullptr, Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"NT 4.0 Terminal Server at its fix", kNt4TerminalServer, fileVersion(4, 0, 1381, 33474),
     nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"NT 4.0 of untold edition between the two fixes", kNt4EditionUntold,
     fileVersion(4, 0, 1381, 7300), nullptr, Reinfection::kUnknown, ReinfectionBasis::kNothing},
    {"NT 4.0 of untold edition below both fixes", kNt4EditionUntold, fileVersion(4, 0, 1381, 7218),
     nullptr, Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"NT 4.0 of untold edition at both fixes", kNt4EditionUntold, fileVersion(4, 0, 1381, 33474),
     nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"2000 SP4 below its fix", k2000, fileVersion(5, 0, 2195, 6752), nullptr, Reinfection::kMissing,
     ReinfectionBasis::kFileVersion},
    {"2000 SP4 at its fix", k2000, fileVersion(5, 0, 2195, 6753), nullptr, Reinfection::kFixed,
     ReinfectionBasis::kFileVersion},
    {"2000 without a service pack at its fix", k2000Gold, fileVersion(5, 0, 2195, 6753), nullptr,
     Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"2000 with a later system's file, as Wine has", k2000, fileVersion(5, 1, 2600, 2180), nullptr,
     Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"XP below its fix", kXpGold, fileVersion(5, 1, 2600, 108), nullptr, Reinfection::kMissing,
     ReinfectionBasis::kFileVersion},
    {"XP at its fix", kXpGold, fileVersion(5, 1, 2600, 109), nullptr, Reinfection::kFixed,
     ReinfectionBasis::kFileVersion},
    {"XP SP1 at XP's fix", kXpServicePack1, fileVersion(5, 1, 2600, 109), nullptr,
     Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"XP SP1 as released", kXpServicePack1, fileVersion(5, 1, 2600, 1106), nullptr,
     Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"XP SP1 at its fix", kXpServicePack1, fileVersion(5, 1, 2600, 1230), nullptr,
     Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"XP SP2 as released", kXpServicePack2, fileVersion(5, 1, 2600, 2180), nullptr,
     Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"XP SP3 with an older file put back", kXpServicePack3, fileVersion(5, 1, 2600, 1106), nullptr,
     Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"XP of untold service pack between the fixes", kXpServicePackUntold,
     fileVersion(5, 1, 2600, 500), nullptr, Reinfection::kUnknown, ReinfectionBasis::kNothing},
    {"XP of untold service pack below both fixes", kXpServicePackUntold,
     fileVersion(5, 1, 2600, 100), nullptr, Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"XP of untold service pack at both fixes", kXpServicePackUntold, fileVersion(5, 1, 2600, 1230),
     nullptr, Reinfection::kFixed, ReinfectionBasis::kFileVersion},
    {"Server 2003 below its fix", k2003Gold, fileVersion(5, 2, 3790, 58), nullptr,
     Reinfection::kMissing, ReinfectionBasis::kFileVersion},
    {"Server 2003 at its fix", k2003Gold, fileVersion(5, 2, 3790, 59), nullptr, Reinfection::kFixed,
     ReinfectionBasis::kFileVersion},
    // The file decides: a key left behind by a fix since undone does not.
    {"2000 below its fix with the fix's key", k2000, fileVersion(5, 0, 2195, 6600),
     R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\KB823980)", Reinfection::kMissing,
     ReinfectionBasis::kFileVersion},
};

TEST(ReinfectionVerdict, TheFileVersionOfTheRpcRuntimeDecides) {
  for (const Case& c : kFileVersionCases) {
    SCOPED_TRACE(c.what);
    Machine machine(c.release);
    machine.addRpcRuntime(*c.file);
    if (c.key != nullptr) machine.addKey(c.key);

    ReinfectionVerdict verdict = judgeReinfection();

    EXPECT_EQ(describe(verdict), describe(c.verdict, c.basis));
    EXPECT_TRUE(verdict.releaseKnown);
    EXPECT_TRUE(verdict.fileVersionRead);
    EXPECT_EQ(verdict.fileVersion.high, c.file->high);
    EXPECT_EQ(verdict.fileVersion.low, c.file->low);
    EXPECT_STREQ(verdict.rpcRuntimePath, kRpcRuntime);
    EXPECT_TRUE(verdict.hasFirstFixed);
    EXPECT_STREQ(verdict.hotfixKey, "");
  }
}

const Case kWithoutTheFileCases[] = {
    {"2000 with neither file nor key", k2000, std::nullopt, nullptr, Reinfection::kUnknown,
     ReinfectionBasis::kNothing},
    {"2000 with the fix's key", k2000, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\KB823980)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"2000 with a later update's key", k2000, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\KB913580)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"2000 with Update Rollup 1", k2000, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\Update Rollup 1)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"2000 with XP's key for the fix", k2000, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows XP\SP1\KB823980)", Reinfection::kUnknown,
     ReinfectionBasis::kNothing},
    {"2000 with another update's key", k2000, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\KB823559)", Reinfection::kUnknown,
     ReinfectionBasis::kNothing},
    {"NT 4.0 with the fix's hotfix key", kNt4, std::nullopt,
     R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion\Hotfix\Q823980)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"NT 4.0 with MS03-039's hotfix key", kNt4, std::nullopt,
     R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion\Hotfix\KB824146)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"XP with the fix's key", kXpGold, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows XP\SP1\KB823980)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"XP SP1 with a later update's key", kXpServicePack1, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows XP\SP2\KB828741)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"XP SP1 with neither file nor key", kXpServicePack1, std::nullopt, nullptr,
     Reinfection::kUnknown, ReinfectionBasis::kNothing},
    {"XP SP2", kXpServicePack2, std::nullopt, nullptr, Reinfection::kFixed,
     ReinfectionBasis::kServicePack},
    {"Server 2003 with the bulletin's spelling of its key", k2003Gold, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Window Server 2003\SP1\KB824146)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"Server 2003 with its own spelling of its key", k2003Gold, std::nullopt,
     R"(SOFTWARE\Microsoft\Updates\Windows Server 2003\SP1\KB902400)", Reinfection::kFixed,
     ReinfectionBasis::kHotfixKey},
    {"Server 2003 with neither file nor key", k2003Gold, std::nullopt, nullptr,
     Reinfection::kUnknown, ReinfectionBasis::kNothing},
    {"Server 2003 SP1", k2003ServicePack1, std::nullopt, nullptr, Reinfection::kFixed,
     ReinfectionBasis::kServicePack},
};

TEST(ReinfectionVerdict, WithoutTheFileTheServicePackOrAKeyOfTheFixTells) {
  for (const Case& c : kWithoutTheFileCases) {
    SCOPED_TRACE(c.what);
    Machine machine(c.release);
    if (c.key != nullptr) machine.addKey(c.key);

    ReinfectionVerdict verdict = judgeReinfection();

    EXPECT_EQ(describe(verdict), describe(c.verdict, c.basis));
    EXPECT_FALSE(verdict.fileVersionRead);
    EXPECT_STREQ(verdict.rpcRuntimePath, kRpcRuntime);
    EXPECT_STREQ(verdict.hotfixKey, c.basis == ReinfectionBasis::kHotfixKey ? c.key : "");
  }
}

TEST(ReinfectionVerdict, AFileThatCannotBeReadOrHasNoSoundVersionCannotTell) {
  specimens::VersionImage spoiled = specimens::versionImage(5, 0, 2195, 6753);
  specimens::putLittleEndian32(spoiled.bytes, spoiled.fixedFileInfo, 0);
  struct FileState {
    const char* what;
    std::function<void(Machine&)> make;
  };
  const FileState states[] = {
      {"a version resource without its signature",
       [&](Machine& m) { m.sim.files.addFile(kRpcRuntime, spoiled.bytes); }},
      {"no PE image", [](Machine& m) { m.sim.files.addFile(kRpcRuntime, "MZ not really"); }},
      {"a file that cannot be opened",
       [](Machine& m) {
         m.addRpcRuntime(fileVersion(5, 0, 2195, 6753));
         m.sim.files.inject(sim::FileFault::Open, kRpcRuntime);
       }},
      {"no system folder", [](Machine& m) { m.sim.files.setSystemDirectory(""); }},
      {"a system folder too long to name the file",
       [](Machine& m) { m.sim.files.setSystemDirectory("C:\\" + std::string(250, 'x')); }},
  };
  for (const FileState& state : states) {
    SCOPED_TRACE(state.what);
    Machine machine(k2000);
    state.make(machine);
    ReinfectionVerdict verdict = judgeReinfection();
    EXPECT_EQ(describe(verdict), describe(Reinfection::kUnknown, ReinfectionBasis::kNothing));
    EXPECT_FALSE(verdict.fileVersionRead);

    // A key of the fix still tells.
    machine.addKey(R"(SOFTWARE\Microsoft\Updates\Windows 2000\SP5\KB824146)");
    EXPECT_EQ(describe(judgeReinfection()),
              describe(Reinfection::kFixed, ReinfectionBasis::kHotfixKey));
  }
}

TEST(ReinfectionVerdict, SystemsThatNeverHadTheFlawAreNotAffected) {
  const Release releases[] = {
      {{platform::kPlatformIdWindows, 4, 10}, " A"},
      {{platform::kPlatformIdWindows, 4, 90}, ""},
      {{kNt, 6, 0}, "Service Pack 2"},
      {{kNt, 6, 1}, ""},
      {{kNt, 10, 0}, ""},
  };
  for (const Release& release : releases) {
    SCOPED_TRACE(std::to_string(release.version.platformId) + " " +
                 std::to_string(release.version.majorVersion) + "." +
                 std::to_string(release.version.minorVersion));
    Machine machine(release);
    // An old file does not matter: the flaw is not in these systems.
    machine.addRpcRuntime(fileVersion(4, 0, 1381, 1));
    ReinfectionVerdict verdict = judgeReinfection();
    EXPECT_EQ(describe(verdict),
              describe(Reinfection::kNotAffected, ReinfectionBasis::kSystemVersion));
    EXPECT_FALSE(verdict.fileVersionRead);
  }
}

TEST(ReinfectionVerdict, AnUntoldOrUncoveredReleaseCannotTell) {
  {
    Machine machine(k2000);
    machine.sim.processes.failVersionQuery();
    machine.addRpcRuntime(fileVersion(5, 0, 2195, 6753));
    ReinfectionVerdict verdict = judgeReinfection();
    EXPECT_EQ(describe(verdict), describe(Reinfection::kUnknown, ReinfectionBasis::kNothing));
    EXPECT_FALSE(verdict.releaseKnown);
  }
  for (const Release& release :
       {Release{{kNt, 3, 51}, ""}, Release{{kNt, 5, 3}, ""}, Release{{kNt, 4, 256}, ""}}) {
    Machine machine(release);
    machine.addRpcRuntime(fileVersion(9, 0, 0, 0));
    ReinfectionVerdict verdict = judgeReinfection();
    EXPECT_EQ(describe(verdict), describe(Reinfection::kUnknown, ReinfectionBasis::kNothing))
        << release.version.majorVersion << "." << release.version.minorVersion;
    EXPECT_TRUE(verdict.releaseKnown);
    EXPECT_FALSE(verdict.hasFirstFixed);
  }
}

TEST(ReinfectionVerdict, ReadsTheRpcRuntimeOfTheSystemFolderWhereverItIs) {
  Machine machine(k2000);
  machine.sim.files.setSystemDirectory(R"(D:\WINNT\system32)");
  machine.addRpcRuntime(fileVersion(5, 0, 2195, 6753));  // where the Windows folder is not
  machine.addRpcRuntime(fileVersion(5, 0, 2195, 6000), R"(D:\WINNT\system32\rpcrt4.dll)");

  ReinfectionVerdict verdict = judgeReinfection();

  EXPECT_EQ(describe(verdict), describe(Reinfection::kMissing, ReinfectionBasis::kFileVersion));
  EXPECT_STREQ(verdict.rpcRuntimePath, R"(D:\WINNT\system32\rpcrt4.dll)");
  char required[24];
  ASSERT_TRUE(formatFileVersion(verdict.firstFixed, required, sizeof required));
  EXPECT_STREQ(required, "5.0.2195.6753");
  EXPECT_EQ(verdict.servicePack, 4);
}

TEST(ReinfectionVerdict, TellsTheServicePackByItsNumber) {
  EXPECT_EQ(servicePackNumber(""), 0);
  EXPECT_EQ(servicePackNumber("Service Pack 1"), 1);
  EXPECT_EQ(servicePackNumber("Service Pack 1a"), 1);
  EXPECT_EQ(servicePackNumber("Service Pack 6a"), 6);
  EXPECT_EQ(servicePackNumber("Service Pack 12"), 12);
  EXPECT_EQ(servicePackNumber("Service Pack "), -1);
  EXPECT_EQ(servicePackNumber("Service Pack 123"), -1);
  EXPECT_EQ(servicePackNumber("service pack 2"), -1);
  EXPECT_EQ(servicePackNumber("Beta 2"), -1);
}

}  // namespace
