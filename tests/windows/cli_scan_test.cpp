// vandrel-cli.exe over this Wine prefix: the whole scan without windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/file_system_redirection.h"
#include "specimens/specimens.h"
#include "windows/windows_support.h"

namespace {

// Counts the regular files of a tree the plain way, as a person would with a file manager:
// every non-folder entry, without following links. The prefix has no path past 260 characters.
int countRegularFiles(const std::string& folder) {
  int count = 0;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string child = folder + "\\" + name;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      if (child.size() < MAX_PATH) ++count;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      count += countRegularFiles(child);
    }
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return count;
}

std::string withoutTrailingBackslash(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

TEST(CliScan, ACleanPrefixEndsWithTheStatisticsAndCountsEveryFileOfBothTrees) {
  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  char windows[MAX_PATH], temp[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  int expected = 0;
  {
    // The system folder as the scan sees it, so that the folder of 32-bit files counts once.
    platform::win32::RealFileNames realNames;
    expected = countRegularFiles(windows) + countRegularFiles(withoutTrailingBackslash(temp));
  }

  std::vector<std::string> lines = wintest::splitLines(run.output);
  ASSERT_GE(lines.size(), 5u) << run.output;
  std::vector<std::string> tail(lines.end() - 5, lines.end());
  EXPECT_EQ(tail[0], "Scanning statistics\t\t:");
  EXPECT_EQ(tail[1], "Total files scanned\t\t:  " + std::to_string(expected));
  EXPECT_EQ(tail[2], "Total files infected\t\t:  0");
  EXPECT_EQ(tail[3], "Total files deleted\t\t:  0");
  EXPECT_EQ(tail[4], "Scanning completed");
  EXPECT_GT(expected, 100) << "the prefix's Windows tree looks empty";
}

// A worm deeper in the temporary tree than 260 characters reach is reached by its short path and
// removed as any other: everything was examined and every worm removed.
TEST(CliScan, AWormPastTheLongestPathIsRemovedThroughItsShortPath) {
  wintest::ScratchFolder folder;
  wintest::DeepFile worm(folder.path(), "blaster worm.exe",
                         specimens::build(2, specimens::Variant::Plain)->bytes);
  ASSERT_TRUE(worm.written());

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");

  EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
  EXPECT_NE(run.output.find("~"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("     W32/Blaster.Worm deleted"), std::string::npos) << run.output;
  EXPECT_FALSE(worm.exists());
}

// Another program on the desktop posts the console scan's hidden window what would end or steer
// a windowed program (a quit, a close, Escape, a timer naming a callback), again and again while
// it runs: the scan runs to its end all the same.
TEST(CliScan, MessagesFromOtherProgramsNeitherEndNorSteerTheScan) {
  int posted = 0;
  auto postToItsWindows = [&posted](unsigned long processId) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "VandrelConsoleLog", nullptr)) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner != processId) continue;
      PostMessageA(window, WM_QUIT, 0, 0);
      PostMessageA(window, WM_CLOSE, 0, 0);
      PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(window, WM_TIMER, 100, 0x41414141);
      ++posted;
    }
  };
  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "", 120000, postToItsWindows);

  EXPECT_EQ(run.exitCode, 0) << run.errors;
  std::vector<std::string> lines = wintest::splitLines(run.output);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Scanning completed");
  EXPECT_GT(posted, 0) << "the scan ended before its window could be found";
}

TEST(CliScan, ExplainsItselfAndRefusesUnknownOptions) {
  wintest::ProgramRun help = wintest::runProgram("vandrel-cli.exe", "--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("Exit status"), std::string::npos);

  wintest::ProgramRun wrong = wintest::runProgram("vandrel-cli.exe", "--bogus");
  EXPECT_EQ(wrong.exitCode, 3);
  EXPECT_NE(wrong.errors.find("--bogus"), std::string::npos);
}

}  // namespace
