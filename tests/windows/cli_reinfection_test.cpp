// vandrel-cli.exe's word on whether the worm can come back, under the versions Wine reports, with
// a stand-in rpcrt4.dll of ours in the system folder: Wine's 2000 reports Service Pack 4, which
// needs the fix; its 98 and 7 never had the flaw.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "specimens/version_image.h"
#include "windows/window_test_support.h"
#include "platform/win32/file_system_redirection.h"
#include "windows/windows_support.h"

namespace {

const char kMissing[] =
    "RPC/DCOM     MS03-026 fix missing: W32/Blaster.Worm can return until KB823980 or KB824146 "
    "is installed";

// Our image with a version resource in place of the prefix's rpcrt4.dll (in the i686 lane too,
// the one in the real system folder, which the program reads: the system's RPC service is a
// 64-bit one), the original put back at the end. Wine loads its own library from its
// installation, never this file, and the program is told so all the same.
class StandInRpcRuntime {
 public:
  explicit StandInRpcRuntime(std::uint16_t revision)
      : overrides_(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vandrel-cli.exe\\DllOverrides",
                   "rpcrt4", "builtin") {
    platform::win32::RealFileNames realNames;
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    path_ = std::string(system) + "\\rpcrt4.dll";
    aside_ = path_ + ".vandrel-test";
    if (!MoveFileExA(path_.c_str(), aside_.c_str(), 0)) return;
    moved_ = true;
    placed_ = wintest::writeFile(path_, specimens::versionImage(5, 0, 2195, revision).bytes,
                                 FILE_ATTRIBUTE_NORMAL);
  }
  ~StandInRpcRuntime() {
    if (!moved_) return;
    platform::win32::RealFileNames realNames;
    DeleteFileA(path_.c_str());
    EXPECT_TRUE(MoveFileExA(aside_.c_str(), path_.c_str(), 0)) << "put back " << path_;
  }
  StandInRpcRuntime(const StandInRpcRuntime&) = delete;
  StandInRpcRuntime& operator=(const StandInRpcRuntime&) = delete;

  bool placed() const { return placed_; }

 private:
  wintest::ScopedRegistryValue overrides_;
  std::string path_, aside_;
  bool moved_ = false;
  bool placed_ = false;
};

struct Case {
  const char* version;
  std::uint16_t revision;  // of the stand-in, 5.0.2195.revision; 0 for Wine's own file
  bool said;
};

class CliReinfection : public ::testing::TestWithParam<Case> {};

TEST_P(CliReinfection, SaysAfterTheStatisticsOnlyWhenTheFixIsMissing) {
  const Case& c = GetParam();
  wintest::ScopedRegistryValue version(
      HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vandrel-cli.exe", "Version", c.version);
  std::optional<StandInRpcRuntime> standIn;
  if (c.revision != 0) {
    standIn.emplace(c.revision);
    ASSERT_TRUE(standIn->placed());
  }

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");

  std::vector<std::string> lines = wintest::splitLines(run.output);
  auto deleted = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Total files deleted\t\t:  ", 0) == 0;
  });
  ASSERT_NE(deleted, lines.end()) << run.output << run.errors;
  std::vector<std::string> after(deleted + 1, lines.end());
  std::vector<std::string> expected = {"Scanning completed"};
  if (c.said) expected.insert(expected.begin(), kMissing);
  EXPECT_EQ(after, expected) << run.output;
  EXPECT_EQ(run.exitCode, 0) << "the verdict changes no exit status";
}

INSTANTIATE_TEST_SUITE_P(Versions, CliReinfection,
                         ::testing::Values(Case{"win2k", 6752, true}, Case{"win2k", 6753, false},
                                           Case{"win98", 6752, false}, Case{"win7", 6752, false},
                                           // Wine's own file is XP SP2's, later than both fixes.
                                           Case{"win2k", 0, false}, Case{"winxp", 0, false}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.version) + "_" +
                                  std::to_string(info.param.revision);
                         });

}  // namespace
