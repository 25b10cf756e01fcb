// The i686 program on 64-bit Windows: the console scan with a 32-bit worm running from the
// folder of 32-bit system files. The system shows a 32-bit program that folder under the system
// folder's name as well; the scan must see each file once, under its real name.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui_driver/running_program.h"
#include "platform/win32/file_system_redirection.h"
#include "windows/windows_support.h"

namespace {

bool underWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// Regular files below `folder`, as the walk counts them: links to folders are not entered.
long countFiles(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  long count = 0;
  do {
    std::string name = entry.cFileName;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      ++count;
    } else if (name != "." && name != ".." &&
               (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      count += countFiles(folder + "\\" + name);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return count;
}

// The files of the scan's two trees, counted with the redirection off.
long filesInScope() {
  char windows[MAX_PATH], temp[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  std::string tempFolder = temp;
  if (!tempFolder.empty() && tempFolder.back() == '\\') tempFolder.pop_back();
  platform::win32::RealFileNames realNames;
  long count = countFiles(windows);
  // The temporary folder lies outside the Windows folder in Wine's prefixes.
  if (tempFolder.compare(0, std::strlen(windows), windows) != 0) count += countFiles(tempFolder);
  return count;
}

long scannedCount(const std::vector<std::string>& lines) {
  const std::string label = "Total files scanned\t\t:  ";
  for (const std::string& line : lines) {
    if (line.compare(0, label.size(), label) == 0) return std::stol(line.substr(label.size()));
  }
  return -1;
}

class Wow64ScanScenario : public ::testing::TestWithParam<const char*> {};

TEST_P(Wow64ScanScenario, AWormRunningFromTheFolderOf32BitFilesIsFoundOnceAndItsFolderWalkedOnce) {
  if (!underWow64()) GTEST_SKIP() << "for a 32-bit program on 64-bit Windows";
  char folder[MAX_PATH];
  ASSERT_NE(GetSystemWow64DirectoryA(folder, MAX_PATH), 0u);
  std::string name = "vandrel-wow64-" + std::to_string(GetCurrentProcessId()) + ".exe";
  std::string image = std::string(folder) + "\\" + name;
  ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
  struct Removal {
    std::string path;
    ~Removal() { DeleteFileA(path.c_str()); }
  } leftOver{image};
  uidriver::RunningProgram worm(image);
  ASSERT_TRUE(worm.started());
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", GetParam()));

  long before = filesInScope();
  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");
  long after = filesInScope();
  std::vector<std::string> lines = wintest::splitLines(run.output);

  EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
  EXPECT_TRUE(worm.waitForExit(wintest::kProcessEndTimeoutMs));
  EXPECT_EQ(GetFileAttributesA(image.c_str()), INVALID_FILE_ATTRIBUTES);
  long naming = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.find(name) != std::string::npos;
  });
  EXPECT_EQ(naming, 1) << run.output;
  EXPECT_NE(std::find(lines.begin(), lines.end(), image + "     W32/Blaster.Worm deleted"),
            lines.end())
      << run.output;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Total files infected\t\t:  1"), lines.end())
      << run.output;
  // Each file of the two trees once: the count made before the scan holds the worm's image,
  // which the memory scan of the NT family removes before the walk; the one after does not.
  long scanned = scannedCount(lines);
  EXPECT_GE(scanned, std::min(before, after) - 1) << run.output;
  EXPECT_LE(scanned, std::max(before, after)) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Versions, Wow64ScanScenario,
                         ::testing::Values("win98", "win2k", "winxp", "win7"));

}  // namespace
