// What another user of the machine can do to a scan under Wine: swap a folder for a link to a
// system folder between the check and the removal, hold a look-alike so that its removal is left
// to the restart and redirect it afterwards, give files names that lead elsewhere, and name a
// look-alike after a program the administrator runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_os.h"
#include "engine/blaster_check.h"
#include "scan/scan_session.h"
#include "specimens/specimens.h"
#include "system/process_backends.h"
#include "ui_driver/running_program.h"
#include "windows/windows_support.h"

namespace {

using Lines = std::vector<std::string>;

bool contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string worm() { return specimens::build(2, specimens::Variant::Plain)->bytes; }

std::string windowsFolder() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  return windows;
}

// The Windows file calls, except that the other user's move is made once, at the moment the
// scan lets go of the look-alike after examining it or is about to change a file: the last
// moment at which a path named by the scan could still be pointed elsewhere.
class OtherUserBetweenCheckAndRemoval : public platform::win32::Win32FileSystem {
 public:
  OtherUserBetweenCheckAndRemoval(std::string lookAlike, std::function<void()> move)
      : lookAlike_(std::move(lookAlike)), move_(std::move(move)) {}

  platform::Handle openForReading(const char* path) override {
    return watch(path, Win32FileSystem::openForReading(path));
  }
  platform::Handle openForRemoval(const char* path) override {
    return watch(path, Win32FileSystem::openForRemoval(path));
  }
  void closeFile(platform::Handle file) override {
    Win32FileSystem::closeFile(file);
    if (file == watched_) moveNow();
  }
  bool setAttributes(const char* path, std::uint32_t attributes) override {
    moveNow();
    return Win32FileSystem::setAttributes(path, attributes);
  }
  bool deleteFile(const char* path) override {
    moveNow();
    return Win32FileSystem::deleteFile(path);
  }
  bool setAttributesOf(platform::Handle file, std::uint32_t attributes) override {
    moveNow();
    return Win32FileSystem::setAttributesOf(file, attributes);
  }
  bool deleteOpenFile(platform::Handle file) override {
    moveNow();
    return Win32FileSystem::deleteOpenFile(file);
  }
  bool moveOpenFile(platform::Handle file, const char* newPath) override {
    moveNow();
    return Win32FileSystem::moveOpenFile(file, newPath);
  }

 private:
  platform::Handle watch(const char* path, platform::Handle file) {
    if (watched_ == platform::kNoHandle && lookAlike_ == path) watched_ = file;
    return file;
  }
  void moveNow() {
    if (!move_) return;
    std::function<void()> move = std::move(move_);
    move_ = nullptr;
    move();
  }

  std::string lookAlike_;
  std::function<void()> move_;
  platform::Handle watched_ = platform::kNoHandle;
};

// The user plants %TEMP%\...\d\notepad.exe carrying a worm's public patterns; once the scan has
// looked, d goes aside and a link named d leads to the system folder, where notepad.exe lies.
TEST(HostileUserScenario, AFolderSwappedForALinkBetweenTheCheckAndTheRemovalSparesTheSystem) {
  char system[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryA(system, MAX_PATH), 0u);
  wintest::ScratchFolder scratch;
  std::string folder = scratch.path() + "\\d";
  std::string lookAlike = folder + "\\notepad.exe";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(wintest::writeFile(lookAlike, worm(), FILE_ATTRIBUTE_ARCHIVE));
  std::unique_ptr<wintest::UnixFolderLink> link;  // goes before the scratch folder
  OtherUserBetweenCheckAndRemoval files(lookAlike, [&] {
    ASSERT_TRUE(MoveFileA(folder.c_str(), (scratch.path() + "\\aside").c_str()));
    link = std::make_unique<wintest::UnixFolderLink>(folder, system);
    ASSERT_TRUE(link->made());
  });
  platform::Os os = platform::win32::win32Os();
  os.files = &files;
  platform::ScopedInstall installed(os);
  ASSERT_EQ(getPlatformClass(), 5) << "a scenario of the NT family";
  resetScanSessionForTest();
  scanSession().inMemoryScan = 0;

  // The check itself, as the walk offers the file: Wine refuses to rename a folder while a
  // search of it is open, which Windows allows, so the walk around the check is left out.
  checkBlasterFile("W32/Blaster.Worm", lookAlike.c_str());

  ASSERT_NE(link, nullptr) << "the scan never came to the removal";
  EXPECT_TRUE(exists(lookAlike)) << "the system's notepad.exe, through the link, is gone";
  EXPECT_EQ(scanSession().statistics.filesInfected, 1);
  // The look-alike was deleted through its handle. Wine itself then keeps the file of a renamed
  // folder (it deletes by the path a file had when opened); Windows does not.
  EXPECT_EQ(scanSession().statistics.filesDeleted, 1);
}

class HostileUserWalk : public ::testing::Test {
 protected:
  std::string plant(const std::string& relative) {
    std::string path = scratch.path() + "\\" + relative;
    CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
    EXPECT_TRUE(wintest::writeFile(path, worm(), FILE_ATTRIBUTE_ARCHIVE));
    return path;
  }

  wintest::ScratchFolder scratch;
};

// Held without delete sharing, the look-alike is not scheduled; the user then swaps its folder
// for a link to the Windows folder, where regedit.exe lies, and the system restarts.
TEST_F(HostileUserWalk, OnNtALookAlikeHeldForTheRestartCannotRedirectIt) {
  std::string lookAlike = plant("h\\regedit.exe");
  Lines lines;
  {
    wintest::FileHolder holder({lookAlike});
    ASSERT_TRUE(holder.holding());
    lines = wintest::walkFolder(scratch.path(), "win7");
  }
  EXPECT_TRUE(contains(lines, lookAlike + "     W32/Blaster.Worm Delete failed"))
      << ::testing::PrintToString(lines);
  EXPECT_TRUE(contains(lines, "restartRequired=0"));
  std::string regedit = windowsFolder() + "\\regedit.exe";
  ASSERT_TRUE(exists(regedit));

  ASSERT_TRUE(MoveFileA((scratch.path() + "\\h").c_str(), (scratch.path() + "\\aside").c_str()));
  wintest::UnixFolderLink link(scratch.path() + "\\h", windowsFolder());
  ASSERT_TRUE(link.made());
  ASSERT_TRUE(wintest::restartWine());

  EXPECT_TRUE(exists(regedit));
}

// A running worm that nothing can end (Wine's performance data list no process) is moved, while
// it runs, into a folder that only administrators may change, and is gone after the restart.
TEST_F(HostileUserWalk, OnNtAWormThatCannotBeEndedIsMovedAsideAndGoneAfterTheRestart) {
  std::string image = scratch.path() + "\\r\\msblast.exe";
  CreateDirectoryA((scratch.path() + "\\r").c_str(), nullptr);
  ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
  std::string moved;
  {
    uidriver::RunningProgram running(image);
    ASSERT_TRUE(running.started());
    Lines lines = wintest::walkFolder(scratch.path(), "win7");
    EXPECT_TRUE(contains(lines, image + "     W32/Blaster.Worm Delete failed"))
        << ::testing::PrintToString(lines);
    EXPECT_TRUE(contains(lines, "restartRequired=1"));
    EXPECT_FALSE(exists(image)) << "not moved aside";

    WIN32_FIND_DATAA found;
    std::string pattern = windowsFolder() + "\\Vandrel removal *";
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no folder for the restart";
    do {
      std::string candidate = windowsFolder() + "\\" + found.cFileName + "\\msblast.exe";
      if (exists(candidate)) moved = candidate;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    ASSERT_NE(moved, "") << "the worm is in no folder for the restart";
    EXPECT_TRUE(running.running()) << "it was moved while it ran";
  }

  ASSERT_TRUE(wintest::restartWine());
  EXPECT_FALSE(exists(moved));
  EXPECT_FALSE(exists(moved.substr(0, moved.find_last_of('\\')))) << "its folder stays";
}

// On another drive the folder for the restart is made in the drive's root, and only where no one
// else may delete what lies there: a root that lets everyone do so (as NT 4.0 and 2000 set it)
// would let any user rename the folder away and leave a junction of its name before the restart.
// The worm then stays where it is, and its line says so.
TEST_F(HostileUserWalk, OnNtTheFolderForTheRestartIsMadeInARootOnlyWhereNoOneElseMayRenameIt) {
  struct Case {
    const char* version;
    bool everyoneMayDelete;
  };
  for (Case c :
       {Case{"nt40", false}, Case{"nt40", true}, Case{"win7", false}, Case{"win7", true}}) {
    bool everyoneMayDelete = c.everyoneMayDelete;
    SCOPED_TRACE(std::string(c.version) + (everyoneMayDelete ? ": everyone may delete in the root"
                                                             : ": a root kept to its owner"));
    wintest::ScratchDrive drive(
        scratch.path() + "\\" + c.version + (everyoneMayDelete ? "-open" : "-kept"),
        everyoneMayDelete ? "777" : "755");
    ASSERT_TRUE(drive.mapped());
    ASSERT_TRUE(CreateDirectoryA((drive.root() + "r").c_str(), nullptr));
    std::string image = drive.root() + "r\\msblast.exe";
    ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
    Lines lines;
    {
      uidriver::RunningProgram running(image);
      ASSERT_TRUE(running.started());
      lines = wintest::walkFolder(drive.root() + "r", c.version);
    }
    EXPECT_TRUE(contains(lines, image + "     W32/Blaster.Worm Delete failed"))
        << ::testing::PrintToString(lines);
    std::string moved = drive.root() + "Vandrel removal 1\\msblast.exe";
    if (everyoneMayDelete) {
      EXPECT_TRUE(contains(lines, "restartRequired=0")) << ::testing::PrintToString(lines);
      EXPECT_TRUE(exists(image));
      EXPECT_FALSE(exists(moved.substr(0, moved.find_last_of('\\'))));
    } else {
      EXPECT_TRUE(contains(lines, "restartRequired=1")) << ::testing::PrintToString(lines);
      EXPECT_FALSE(exists(image));
      EXPECT_TRUE(exists(moved));
      // The restart comes while the drive is there, so that nothing is left for a later one.
      ASSERT_TRUE(wintest::restartWine());
      EXPECT_FALSE(exists(moved));
    }
  }
}

// ".．＼outside.exe" and a name of characters the code page lacks: the first would lead out of
// its folder, the second cannot be named at all; both are reached by their short names.
TEST_F(HostileUserWalk, NamesOutsideTheCodePageAreReachedByTheirShortNamesOnly) {
  std::string outside = plant("outside.exe");
  std::string folder = scratch.path() + "\\q";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::wstring wideFolder(folder.begin(), folder.end());
  for (const wchar_t* name : {L"\\\xFF0E\xFF0E\xFF3Coutside.exe", L"\\\x4E2D\x6587.exe"}) {
    HANDLE file = CreateFileW((wideFolder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string bytes = worm();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  Lines lines = wintest::walkFolder(folder, "win7");

  EXPECT_TRUE(exists(outside)) << "deleted outside the walked folder";
  int deleted = 0;
  for (const std::string& line : lines) {
    if (line.rfind(folder + "\\", 0) != 0) continue;
    EXPECT_NE(line.find("~"), std::string::npos) << "not by its short name: " << line;
    EXPECT_NE(line.find("     W32/Blaster.Worm deleted"), std::string::npos) << line;
    ++deleted;
  }
  EXPECT_EQ(deleted, 2) << ::testing::PrintToString(lines);
  WIN32_FIND_DATAW left;
  HANDLE search = FindFirstFileW((wideFolder + L"\\*.exe").c_str(), &left);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a worm file is left in the folder";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// On 98 a held look-alike is named after the administrator's editor, which runs: the editor runs
// another file, so it is not ended, and the look-alike gets "Delete failed".
TEST_F(HostileUserWalk, On98ALookAlikeNamedAfterARunningProgramLeavesItRunning) {
  std::string editorImage = scratch.path() + "\\apps\\winword.exe";
  CreateDirectoryA((scratch.path() + "\\apps").c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((wintest::programFolder() + "\\vandrel-holder.exe").c_str(),
                        editorImage.c_str(), FALSE));
  std::string document = plant("apps\\letter.doc");
  wintest::FileHolder editor({document}, editorImage);
  ASSERT_TRUE(editor.holding());
  std::string lookAlike = plant("k\\winword.exe");
  wintest::FileHolder holder({lookAlike});
  ASSERT_TRUE(holder.holding());

  Lines lines = wintest::walkFolder(scratch.path() + "\\k", "win98");

  EXPECT_TRUE(contains(lines, lookAlike + "     W32/Blaster.Worm Delete failed"))
      << ::testing::PrintToString(lines);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, editor.processId());
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the administrator's editor was ended";
  CloseHandle(process);
}

}  // namespace
