// The file remedies on real files under Wine, each program run under the Windows version the
// case is about: a walk (no memory scan first) meets worm files that run, are held by another
// program, or are protected.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "specimens/specimens.h"
#include "ui_driver/running_program.h"
#include "windows/windows_support.h"

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string shortPathOf(const std::string& path) {
  char shortPath[MAX_PATH] = {};
  GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  return shortPath;
}

// The [rename] section of the Windows folder's Wininit.ini, a line each.
std::vector<std::string> renameSection() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string wininit = std::string(windows) + "\\Wininit.ini";
  std::vector<char> section(32768, '\0');
  DWORD length = GetPrivateProfileSectionA("rename", section.data(),
                                           static_cast<DWORD>(section.size()), wininit.c_str());
  std::vector<std::string> lines;
  for (const char* line = section.data(); line < section.data() + length && *line != '\0';
       line += std::strlen(line) + 1) {
    lines.emplace_back(line);
  }
  return lines;
}

std::string pendingFileRenameOperations() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                    KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<char> data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size() - 2);
  LONG result = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(data.data()), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string(data.data(), size) : std::string();
}

class RemedyScenario : public ::testing::Test {
 protected:
  std::string plant(const std::string& name, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    std::string path = scratch.path() + "\\" + name;
    EXPECT_TRUE(wintest::writeFile(path, specimens::build(2, specimens::Variant::Plain)->bytes,
                                   attributes));
    return path;
  }
  // Walks the scratch folder with vandrel-walk.exe under the given Windows version.
  std::vector<std::string> walk(const std::string& version) {
    return wintest::walkFolder(scratch.path(), version);
  }
  static bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  wintest::ScratchFolder scratch;
};

TEST_F(RemedyScenario, On98TheRunningWormIsEndedByNameAndDeleted) {
  std::string running = scratch.path() + "\\msblast.exe";
  ASSERT_TRUE(wintest::copyRunnableSpecimen(running));
  uidriver::RunningProgram worm(running);
  ASSERT_TRUE(worm.started());
  std::string guarded =
      plant("guarded.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_FALSE(DeleteFileA(running.c_str())) << "a running image must not be deletable";

  std::vector<std::string> lines = walk("win98");

  EXPECT_TRUE(contains(lines, running + "     W32/Blaster.Worm deleted"))
      << ::testing::PrintToString(lines);
  EXPECT_TRUE(contains(lines, guarded + "     W32/Blaster.Worm deleted"))
      << ::testing::PrintToString(lines);
  EXPECT_TRUE(worm.waitForExit(wintest::kProcessEndTimeoutMs));
  EXPECT_FALSE(exists(running));
  EXPECT_FALSE(exists(guarded));
  EXPECT_TRUE(contains(lines, "restartRequired=0"));
}

// Held by a program that did not share deletion, the file cannot be moved out of other users'
// reach, so its path is not handed to the restart: another user could point it elsewhere.
TEST_F(RemedyScenario, On7AFileHeldByAnotherProgramIsNeitherDeletedNorScheduled) {
  std::string held = plant("blaster.exe");
  wintest::FileHolder holder({held});
  ASSERT_TRUE(holder.holding());

  std::vector<std::string> lines = walk("win7");

  EXPECT_TRUE(contains(lines, held + "     W32/Blaster.Worm Delete failed"))
      << ::testing::PrintToString(lines);
  EXPECT_TRUE(contains(lines, "restartRequired=0"));
  EXPECT_EQ(pendingFileRenameOperations().find(held.substr(2)), std::string::npos);
  EXPECT_TRUE(exists(held));
}

// A worm the memory scan cannot see (its image was renamed after it started, so the path its
// process reports leads nowhere) and that nothing ends: the walk moves it aside for the restart,
// and the console scanner offers that restart.
TEST_F(RemedyScenario, On7TheConsoleScannerOffersTheRestartAndSaysSo) {
  std::string started = scratch.path() + "\\started.exe";
  ASSERT_TRUE(wintest::copyRunnableSpecimen(started));
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", "win7"));
  wintest::ProgramRun run;
  {
    uidriver::RunningProgram worm(started);
    ASSERT_TRUE(worm.started());
    ASSERT_TRUE(MoveFileA(started.c_str(), (scratch.path() + "\\blaster.exe").c_str()));
    run = wintest::runProgram("vandrel-cli.exe", "");
  }
  // The worm ended, the restart removes what the scan moved aside for it, so that no later
  // test meets it.
  EXPECT_TRUE(wintest::restartWine());

  EXPECT_EQ(run.exitCode, 2) << run.output << run.errors;
  // The temporary folder's pattern keeps the backslash GetTempPath ends with, so the logged
  // path has a doubled one there; the folder and the file are the planted ones.
  std::string folder = scratch.path().substr(scratch.path().find_last_of('\\'));
  std::string ending = folder + "\\blaster.exe     W32/Blaster.Worm Delete failed";
  std::vector<std::string> lines = wintest::splitLines(run.output);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& line) {
                            return line.size() > ending.size() &&
                                   line.compare(line.size() - ending.size(), ending.size(),
                                                ending) == 0;
                          }),
            1)
      << run.output;
  EXPECT_NE(run.errors.find("has to be restarted"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("-> No"), std::string::npos) << run.errors;
}

// A worm deeper than the program's 260-character paths reach is reached by its short path, as
// the system itself can start it, and removed through that path, which its line names. Wine
// gives short names to long names as Windows does.
TEST_F(RemedyScenario, AWormPastTheLongestPathIsReachedByItsShortPathAndDeleted) {
  for (const char* version : {"win98", "winxp"}) {
    SCOPED_TRACE(version);
    wintest::DeepFile worm(scratch.path(), "blaster worm.exe",
                           specimens::build(2, specimens::Variant::Plain)->bytes);
    ASSERT_TRUE(worm.written());

    std::vector<std::string> lines = walk(version);

    const std::string ending = "     W32/Blaster.Worm deleted";
    std::vector<std::string> deleted;
    for (const std::string& line : lines) {
      if (line.size() > ending.size() &&
          line.compare(line.size() - ending.size(), ending.size(), ending) == 0) {
        deleted.push_back(line.substr(0, line.size() - ending.size()));
      }
    }
    ASSERT_EQ(deleted.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_LT(deleted[0].size(), static_cast<std::size_t>(MAX_PATH)) << deleted[0];
    EXPECT_NE(deleted[0].find('~'), std::string::npos) << deleted[0];
    EXPECT_FALSE(worm.exists());
  }
}

TEST_F(RemedyScenario, On98EveryHeldFileGetsItsOwnLineInWininit) {
  std::string first = plant("worm one.exe");
  std::string second = plant("worm two.exe");
  wintest::FileHolder holder({first, second});
  ASSERT_TRUE(holder.holding());

  std::vector<std::string> lines = walk("win98");

  EXPECT_TRUE(contains(lines, first + "     W32/Blaster.Worm Delete failed"));
  EXPECT_TRUE(contains(lines, second + "     W32/Blaster.Worm Delete failed"));
  EXPECT_TRUE(contains(lines, "restartRequired=1"));
  std::vector<std::string> rename = renameSection();
  EXPECT_TRUE(contains(rename, "nul=" + shortPathOf(first))) << ::testing::PrintToString(rename);
  EXPECT_TRUE(contains(rename, "nul=" + shortPathOf(second))) << ::testing::PrintToString(rename);
}

}  // namespace
