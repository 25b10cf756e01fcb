// The process part of the seam on Windows, with a real process of ours: listing it, ending it,
// and what the file remedies do with a file it holds.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/file_remedy.h"
#include "engine/worm_file.h"
#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "scan/scan_session.h"
#include "specimens/specimens.h"
#include "system/process_backends.h"
#include "windows/windows_support.h"

namespace {

class Win32ProcessesTest : public ::testing::Test {
 protected:
  Win32ProcessesTest() { resetScanSessionForTest(); }

  platform::ScopedInstall win32_{platform::win32::win32Os()};
  wintest::ScratchFolder scratch_;
};

TEST_F(Win32ProcessesTest, BothListsShowARunningProgram) {
  std::string file = scratch_.path() + "\\held.bin";
  ASSERT_TRUE(wintest::writeFile(file, "x", FILE_ATTRIBUTE_ARCHIVE));
  wintest::FileHolder holder({file});
  ASSERT_TRUE(holder.holding());

  for (bool (*list)(ProcessList&) : {listProcessesPsapi, listProcessesToolhelp}) {
    ProcessList processes;
    ASSERT_TRUE(list(processes));
    bool found = false;
    for (const ProcessRecord& record : processes) {
      if (record.processId != holder.processId()) continue;
      found = true;
      // The process-status list names the whole path; ToolHelp under Wine only the file name.
      std::string shown = record.imagePath;
      EXPECT_EQ(shown.substr(shown.find_last_of('\\') + 1), "vandrel-holder.exe");
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(Win32ProcessesTest, TheReleaseIsTheVersionWithItsServicePackAndEdition) {
  platform::VersionInfo version;
  platform::ReleaseInfo release;
  ASSERT_TRUE(platform::processes().queryVersion(version));
  ASSERT_TRUE(platform::processes().queryRelease(release));
  EXPECT_EQ(release.version.platformId, version.platformId);
  EXPECT_EQ(release.version.majorVersion, version.majorVersion);
  EXPECT_EQ(release.version.minorVersion, version.minorVersion);

  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_STREQ(release.servicePack, info.szCSDVersion);
  // Wine's registry has the product options of an NT system, with no Terminal Server among them.
  EXPECT_EQ(release.terminalServer, platform::TerminalServer::kNo);
}

TEST_F(Win32ProcessesTest, ARunningProgramIsEndedThroughTheSeam) {
  std::string file = scratch_.path() + "\\held.bin";
  ASSERT_TRUE(wintest::writeFile(file, "x", FILE_ATTRIBUTE_ARCHIVE));
  wintest::FileHolder holder({file});
  ASSERT_TRUE(holder.holding());
  EXPECT_FALSE(DeleteFileA(file.c_str()));

  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(processes.openProcess(
      holder.processId(), platform::kProcessTerminate | platform::kSynchronize));
  ASSERT_TRUE(process.valid());
  EXPECT_EQ(processes.waitForProcess(process.get(), 0), platform::kWaitTimeout);
  EXPECT_TRUE(processes.terminateProcess(process.get(), 0));
  EXPECT_EQ(processes.waitForProcess(process.get(), 5000), platform::kWaitObject0);
  EXPECT_TRUE(DeleteFileA(file.c_str()));
}

// A file held without delete sharing cannot be moved out of another user's reach, so its path
// is not handed to the restart: that user could point it elsewhere before the restart came.
TEST_F(Win32ProcessesTest, OnNtAFileHeldByAnotherProgramIsNeitherDeletedNorScheduled) {
  ASSERT_EQ(getPlatformClass(), 5);
  std::string file = scratch_.path() + "\\msblast.exe";
  ASSERT_TRUE(wintest::writeFile(file, specimens::build(2, specimens::Variant::Plain)->bytes,
                                 FILE_ATTRIBUTE_ARCHIVE));
  wintest::FileHolder holder({file});
  ASSERT_TRUE(holder.holding());

  WormFile worm;
  ASSERT_TRUE(worm.examine(file.c_str()));
  EXPECT_FALSE(worm.removable());
  // Wine's performance data list no process, so nothing of the file's name is found; nor does
  // the holder run the file.
  EXPECT_EQ(terminateProcessByFileName(file.c_str(), &worm.identity()), 0);
  deleteWormFile(worm, "W32/Blaster.Worm");

  EXPECT_EQ(scanSession().restartRequired, 0);
  EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << "the file is kept";
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  char pending[8192] = {};
  DWORD size = sizeof pending - 2;
  LONG result = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(pending), &size);
  RegCloseKey(key);
  std::string operations = result == ERROR_SUCCESS ? std::string(pending, size) : std::string();
  EXPECT_EQ(operations.find(file.substr(2)), std::string::npos) << "operations: " << operations;
}

// A program whose name has a fullwidth 'e' reads as "editor.exe" through the code page, where
// another user has put a file of that plain name: the path the seam gives reaches the program's
// own file, by its short name, and the look-alike is not its image.
TEST_F(Win32ProcessesTest, AnImageNamedOutsideTheCodePageIsReachedByItsShortName) {
  if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252, not " << GetACP();
  std::wstring folder(scratch_.path().begin(), scratch_.path().end());
  std::wstring image = folder +
                       L"\\\xFF45"
                       L"ditor.exe";
  std::string holder = wintest::programFolder() + "\\vandrel-holder.exe";
  ASSERT_TRUE(CopyFileW(std::wstring(holder.begin(), holder.end()).c_str(), image.c_str(), FALSE));
  std::string lookAlike = scratch_.path() + "\\editor.exe";
  ASSERT_TRUE(wintest::writeFile(lookAlike, "MZ look-alike", FILE_ATTRIBUTE_NORMAL));
  wintest::FileHolder program(image);
  ASSERT_TRUE(program.holding());

  platform::Processes& processes = platform::processes();
  platform::ScopedProcess process(processes.openProcess(
      program.processId(), platform::kProcessQueryInformation | platform::kProcessVmRead));
  ASSERT_TRUE(process.valid());
  platform::FileIdentity identity;
  ASSERT_TRUE(processes.imageIdentity(process.get(), identity));
  char path[platform::kMaxPath];
  ASSERT_GT(processes.mappedImagePath(process.get(), path, sizeof path), 0u);
  EXPECT_NE(std::string(path), lookAlike);

  platform::FileIdentity reached, planted;
  ASSERT_TRUE(platform::files().identifyPath(path, reached)) << path;
  ASSERT_TRUE(platform::files().identifyPath(lookAlike.c_str(), planted));
  EXPECT_TRUE(platform::sameFile(identity, reached)) << path;
  EXPECT_FALSE(platform::sameFile(identity, planted));
}

}  // namespace

// Wine starts no shutdown countdown, and its abort is a stub that reports success whatever was
// counting down: the program takes the function as missing there, so that it never says a
// shutdown was aborted. The privilege is enabled as the program enables it.
TEST_F(Win32ProcessesTest, UnderWineNoShutdownIsEverSaidToBeAborted) {
  platform::Processes& processes = platform::processes();
  {
    platform::ScopedToken token(processes.openOwnToken());
    ASSERT_TRUE(token);
    EXPECT_EQ(processes.enableShutdownPrivilege(token.get()), 0u);
  }
  EXPECT_EQ(processes.abortSystemShutdown(), platform::ShutdownAbort::kUnavailable);
}
