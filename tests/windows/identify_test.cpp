// The identification on real files under Wine: the specimens through the Win32 file part, the
// runnable specimen as a running process, and vandrel-identify.exe as a user runs it.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/blaster_check.h"
#include "engine/worm_identification.h"
#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "scan/scan_session.h"
#include "specimens/specimens.h"
#include "ui_driver/running_program.h"
#include "windows/windows_support.h"

namespace {

class Win32Identification : public ::testing::Test {
 protected:
  Win32Identification() { resetScanSessionForTest(); }

  static int identify(const std::string& path) {
    const WormSignature* record = identifyWormFile(path.c_str());
    return record == nullptr ? 0 : signatureNumber(*record);
  }

  wintest::ScratchFolder scratch;

 private:
  platform::ScopedInstall win32_{platform::win32::win32Os()};
};

TEST_F(Win32Identification, EverySpecimenIsReportedByItsRecord) {
  for (const specimens::Specimen& specimen : specimens::all()) {
    std::string path = scratch.path() + "\\" + specimen.name;
    ASSERT_TRUE(wintest::writeFile(path, specimen.bytes, FILE_ATTRIBUTE_ARCHIVE)) << path;
    EXPECT_EQ(identify(path), specimen.expectedRecord) << specimen.name;
  }
}

bool isListedAmongTheProcesses(DWORD id) {
  DWORD ids[4096];
  DWORD bytes = 0;
  if (!EnumProcesses(ids, sizeof ids, &bytes)) return false;
  for (DWORD index = 0; index < bytes / sizeof(DWORD); ++index) {
    if (ids[index] == id) return true;
  }
  return false;
}

TEST_F(Win32Identification, TheRunnableSpecimenRunsIsNamedByItsProcessAndIsIdentified) {
  // The process that the memory scan will meet: a running program whose image is a worm file.
  uidriver::RunningProgram specimen(wintest::programFolder() + "\\runnable-specimen.exe");
  ASSERT_TRUE(specimen.started()) << GetLastError();
  // Still running after a second: the stub led into the ordinary start-up and the wait.
  EXPECT_FALSE(specimen.waitForExit(1000));
  EXPECT_TRUE(isListedAmongTheProcesses(specimen.processId()));

  char image[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameExA(specimen.handle(), nullptr, image, MAX_PATH), 0u);
  std::string path = image;
  EXPECT_EQ(path.substr(path.find_last_of('\\') + 1), "runnable-specimen.exe") << path;

  EXPECT_EQ(identify(path), 2);
  scanSession().inMemoryScan = 1;
  EXPECT_EQ(checkBlasterFile("W32/Blaster.Worm", path.c_str()), 1);
  EXPECT_STREQ(scanSession().currentVirusName, "W32/Blaster.Worm");
  EXPECT_EQ(scanSession().wormFileConfirmed, 1);
  EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

// vandrel-identify.exe's lines as path -> reported name.
std::map<std::string, std::string> reports(const std::string& output) {
  std::map<std::string, std::string> byPath;
  for (const std::string& line : wintest::splitLines(output)) {
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos) byPath[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return byPath;
}

TEST_F(Win32Identification, TheIdentifyToolReportsEveryFileOfAFolderTree) {
  std::string nested = scratch.path() + "\\nested\\deeper";
  wintest::ProgramRun written = wintest::runProgram("vandrel-specimens.exe", inQuotes(nested));
  ASSERT_EQ(written.exitCode, 0) << written.errors;

  wintest::ProgramRun run = wintest::runProgram("vandrel-identify.exe", inQuotes(scratch.path()));
  EXPECT_EQ(run.exitCode, 1) << run.errors;
  std::map<std::string, std::string> expected;
  for (const specimens::Specimen& specimen : specimens::all()) {
    expected[nested + "\\" + specimen.name] = specimens::expectedName(specimen);
  }
  EXPECT_EQ(reports(run.output), expected);
}

TEST_F(Win32Identification, TheIdentifyToolsExitStatusSaysWhatItFound) {
  std::string clean = scratch.path() + "\\clean.exe";
  std::string worm = scratch.path() + "\\worm.exe";
  ASSERT_TRUE(wintest::writeFile(clean,
                                 specimens::build(8, specimens::Variant::BelowNearSize)->bytes,
                                 FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(wintest::writeFile(worm, specimens::build(9, specimens::Variant::Plain)->bytes,
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  DWORD wormAttributes = GetFileAttributesA(worm.c_str());

  wintest::ProgramRun onlyClean = wintest::runProgram("vandrel-identify.exe", inQuotes(clean));
  EXPECT_EQ(onlyClean.exitCode, 0);
  EXPECT_EQ(onlyClean.output, clean + "\tclean\r\n");

  wintest::ProgramRun both =
      wintest::runProgram("vandrel-identify.exe", inQuotes(clean) + " " + inQuotes(worm));
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_EQ(both.output, clean + "\tclean\r\n" + worm + "\tW32/Blaster.F.Worm\r\n");
  // It only reads: the worm file is still there, attributes and all.
  EXPECT_EQ(GetFileAttributesA(worm.c_str()), wormAttributes);

  std::string absent = scratch.path() + "\\absent.exe";
  wintest::ProgramRun missing = wintest::runProgram("vandrel-identify.exe", inQuotes(absent));
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.errors.find(absent), std::string::npos) << missing.errors;

  EXPECT_EQ(wintest::runProgram("vandrel-identify.exe", "").exitCode, 2);
  EXPECT_EQ(wintest::runProgram("vandrel-identify.exe", "--bogus " + inQuotes(clean)).exitCode, 2);
}

}  // namespace
