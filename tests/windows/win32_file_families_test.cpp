// What the file seam does on each family of Windows, through vandrel-file-seam.exe run under
// the version Wine is told to report: removal through one handle and folders for administrators
// are the NT family's, NT 4.0 has them without what Windows 2000 added, and the 95/98/Me family
// declines both rather than half doing them. Wine enforces no access list and keeps none of its
// own: the folder's list is the one the program gives, as the program prints it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/windows_support.h"

namespace {

struct Family {
  const char* version;
  bool ntFamily;
  // The access list of a folder for administrators, as SDDL: full access ("FA") for the
  // Administrators group ("BA") and the system ("SY"), inherited by files and folders below
  // ("OICI"), and from Windows 2000 on protected from the parent's entries ("P").
  const char* folderAccess;
};

constexpr char kFolderAccess[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
constexpr char kFolderAccessOnNt4[] = "D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

std::ostream& operator<<(std::ostream& out, const Family& family) { return out << family.version; }

class FileSeamOnEachFamily : public ::testing::TestWithParam<Family> {
 protected:
  // What the program said, line by line.
  std::vector<std::string> run(const std::string& command, const std::string& path) {
    EXPECT_TRUE(wintest::setWineVersion("vandrel-file-seam.exe", GetParam().version));
    wintest::ProgramRun run =
        wintest::runProgram("vandrel-file-seam.exe", command + " \"" + path + "\"");
    EXPECT_EQ(run.errors, "");
    return wintest::splitLines(run.output);
  }
  static bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  wintest::ScratchFolder scratch;
};

TEST_P(FileSeamOnEachFamily, OnlyTheNtFamilyRemovesAFileThroughOneHandle) {
  std::string file = scratch.path() + "\\guarded.exe";
  ASSERT_TRUE(wintest::writeFile(file, "MZ", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

  std::vector<std::string> removal = run("remove", file);

  if (GetParam().ntFamily) {
    EXPECT_EQ(removal, std::vector<std::string>{"opened, links=1, deleted"});
    EXPECT_FALSE(exists(file));
  } else {
    EXPECT_EQ(removal, std::vector<std::string>{"not opened"});
    EXPECT_TRUE(exists(file));
  }
}

TEST_P(FileSeamOnEachFamily, AFolderForAdministratorsIsMadeWithTheirAndTheSystemsEntriesAlone) {
  std::string folder = scratch.path() + "\\kept";

  std::vector<std::string> making = run("protect", folder);

  if (GetParam().ntFamily) {
    EXPECT_EQ(making, (std::vector<std::string>{"made", GetParam().folderAccess}));
    EXPECT_TRUE(exists(folder));
  } else {
    EXPECT_EQ(making, (std::vector<std::string>{"not made", "no access list"}));
    EXPECT_FALSE(exists(folder));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Win32, FileSeamOnEachFamily,
    ::testing::Values(Family{"win98", false, ""}, Family{"nt40", true, kFolderAccessOnNt4},
                      Family{"win2k", true, kFolderAccess}, Family{"win7", true, kFolderAccess}),
    [](const ::testing::TestParamInfo<Family>& info) { return std::string(info.param.version); });

}  // namespace
