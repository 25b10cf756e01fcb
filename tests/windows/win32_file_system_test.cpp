#include "contract/file_system_contract.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/win32/win32_os.h"
#include "windows/windows_support.h"

namespace {

class Win32Environment {
 public:
  std::string root() const { return scratch_.path(); }
  platform::FileSystem& files() { return platform::files(); }
  void addFile(const std::string& relative, const std::string& bytes, std::uint32_t attributes) {
    // The folders on the way are made as needed.
    for (std::string::size_type slash = relative.find('\\'); slash != std::string::npos;
         slash = relative.find('\\', slash + 1)) {
      CreateDirectoryA(at(relative.substr(0, slash)).c_str(), nullptr);
    }
    ASSERT_TRUE(wintest::writeFile(at(relative), bytes, attributes));
  }
  void addFolder(const std::string& relative) { CreateDirectoryA(at(relative).c_str(), nullptr); }

  // What another user of the machine may do.
  void holdWithoutDeleteSharing(const std::string& relative) {
    holders_.push_back(
        std::make_unique<wintest::FileHolder>(std::vector<std::string>{at(relative)}));
    ASSERT_TRUE(holders_.back()->holding());
  }
  void renameFolder(const std::string& from, const std::string& to) {
    ASSERT_TRUE(MoveFileA(at(from).c_str(), at(to).c_str())) << GetLastError();
  }
  void linkFolder(const std::string& link, const std::string& target) {
    links_.push_back(std::make_unique<wintest::UnixFolderLink>(at(link), at(target)));
    ASSERT_TRUE(links_.back()->made());
  }
  void addHardLink(const std::string& name, const std::string& existing) {
    ASSERT_TRUE(CreateHardLinkA(at(name).c_str(), at(existing).c_str(), nullptr)) << GetLastError();
  }
  // "..\outside.exe" in the code page: two fullwidth full stops and a fullwidth backslash.
  void addFileOutsideTheCodePage(const std::string& folder, const std::string& bytes) {
    WCHAR path[MAX_PATH];
    ASSERT_NE(MultiByteToWideChar(CP_ACP, 0, at(folder).c_str(), -1, path, MAX_PATH), 0);
    std::wstring name = std::wstring(path) + L"\\\xFF0E\xFF0E\xFF3Coutside.exe";
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_ARCHIVE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD written = 0;
    BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(wrote && written == bytes.size());
  }

 private:
  std::string at(const std::string& relative) const { return root() + "\\" + relative; }

  // Members go in reverse order: holders end and links go before the folder is removed.
  platform::ScopedInstall win32_{platform::win32::win32Os()};
  wintest::ScratchFolder scratch_;
  std::vector<std::unique_ptr<wintest::FileHolder>> holders_;
  std::vector<std::unique_ptr<wintest::UnixFolderLink>> links_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FileSystemContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ProtectiveAttributesContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, FilesInUseContract, Win32Environment);
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, CodePageContract, Win32Environment);

class Win32FileSystem : public ::testing::Test {
 protected:
  std::string at(const std::string& relative) const { return scratch.path() + "\\" + relative; }
  bool createWide(const std::wstring& name, const std::string& bytes) {
    WCHAR folder[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, scratch.path().c_str(), -1, folder, MAX_PATH)) return false;
    HANDLE file = CreateFileW((std::wstring(folder) + L"\\" + name).c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == bytes.size();
  }

  platform::ScopedInstall win32{platform::win32::win32Os()};
  wintest::ScratchFolder scratch;
};

// Letters the code page has, accents included, are the name itself; letters it lacks become
// the default character, and only the short name, where there is one, still reaches the file.
TEST_F(Win32FileSystem, ANameIsExactWhereverTheCodePageHasItsLetters) {
  if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252, not " << GetACP();
  ASSERT_TRUE(createWide(L"caf\xE9.exe", "accented"));
  ASSERT_TRUE(createWide(L"\x4E2D\x6587.exe", "foreign"));

  platform::FileSystem& files = platform::files();
  platform::FindEntry entry;
  platform::ScopedSearch search(files.findFirst(at("*.*").c_str(), entry));
  ASSERT_TRUE(search.valid());
  std::vector<std::string> exact, inexact;
  do {
    (entry.exactName ? exact : inexact).push_back(entry.fileName);
    if (!entry.exactName && entry.alternateName[0] != '\0') {
      platform::ScopedFile file(files.openForReading(at(entry.alternateName).c_str()));
      char bytes[7] = {};
      EXPECT_TRUE(file && files.readAt(file.get(), 0, bytes, 7)) << entry.alternateName;
      EXPECT_EQ(std::string(bytes, 7), "foreign");
    }
  } while (files.findNext(search.get(), entry));
  EXPECT_EQ(exact, (std::vector<std::string>{".", "..", "caf\xE9.exe"}));
  EXPECT_EQ(inexact, std::vector<std::string>{"??.exe"});
}

// A file is moved only to a plain full path: what the native layer would take literally, and
// the path calls read otherwise or not at all, is refused.
TEST_F(Win32FileSystem, AnOpenFileMovesOnlyToAPlainFullPath) {
  ASSERT_TRUE(wintest::writeFile(at("worm.exe"), "MZ", FILE_ATTRIBUTE_ARCHIVE));
  CreateDirectoryA(at("kept").c_str(), nullptr);
  platform::FileSystem& files = platform::files();
  platform::ScopedFile file(files.openForRemoval(at("worm.exe").c_str()));
  ASSERT_TRUE(file.valid());

  for (const std::string& target :
       {std::string("worm2.exe"), std::string("kept\\worm.exe"), at("kept\\..\\worm2.exe"),
        at("kept\\.\\worm.exe"), at("kept\\worm.exe."), at("kept\\worm.exe "),
        at("kept\\\\worm.exe"), at("kept/worm.exe"), at("kept\\")}) {
    EXPECT_FALSE(files.moveOpenFile(file.get(), target.c_str())) << target;
  }
  EXPECT_TRUE(files.exists(at("worm.exe").c_str()));
  EXPECT_TRUE(files.moveOpenFile(file.get(), at("kept\\worm.exe").c_str()));
}

// Who may remove a folder's entries is read from the folder itself, through a handle. Wine keeps
// a folder's access list as its Unix permissions: its owner (the account the tests run as) and
// the system may do everything, everyone else what the permissions give others.
TEST_F(Win32FileSystem, WhoMayRemoveAFoldersEntriesIsReadFromTheFolderItself) {
  platform::FileSystem& files = platform::files();
  char windows[MAX_PATH];
  ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  EXPECT_EQ(files.entryRemoval(windows), platform::EntryRemoval::kAdministratorsOnly);

  wintest::ScratchDrive kept(at("kept"), "750");
  wintest::ScratchDrive open(at("open"), "777");
  ASSERT_TRUE(kept.mapped() && open.mapped());
  EXPECT_EQ(files.entryRemoval(kept.root().c_str()), platform::EntryRemoval::kAdministratorsOnly);
  EXPECT_EQ(files.entryRemoval(at("kept").c_str()), platform::EntryRemoval::kAdministratorsOnly);
  EXPECT_EQ(files.entryRemoval(open.root().c_str()), platform::EntryRemoval::kOthers);
  EXPECT_EQ(files.entryRemoval(at("open").c_str()), platform::EntryRemoval::kOthers);

  // Only a folder that is there is vouched for.
  ASSERT_TRUE(wintest::writeFile(at("file.txt"), "text", FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(files.entryRemoval(at("file.txt").c_str()), platform::EntryRemoval::kUnknown);
  EXPECT_EQ(files.entryRemoval(at("missing").c_str()), platform::EntryRemoval::kUnknown);
}

}  // namespace
