// What the scan relies on from the file part of the seam, asserted the same way against
// SimulatedWindows on Linux and against the Win32 implementation under Wine.
//
// An environment type supplies: root() (an empty folder, no trailing backslash), files() (the
// FileSystem under test), addFile(relative path, bytes, attributes) and addFolder(relative path);
// and, to play what another user of the machine may do: holdWithoutDeleteSharing(relative) (a
// program keeps the file open without sharing deletion, until the environment ends),
// renameFolder(from, to), linkFolder(link, target) (a link or junction named `link` that leads
// to the folder `target`), addHardLink(name, existing) and addFileOutsideTheCodePage(folder,
// bytes) (a file whose name has characters the code page lacks, among them a fullwidth
// backslash and full stops, so that its single-byte form reads "..\outside.exe").
//
// The cases are in suites by what they need of the system, so that an environment instantiates
// every suite it can honour and no case is skipped: FileSystemContract (every environment);
// ProtectiveAttributesContract (read-only, hidden and system files resist deletion until their
// attributes are replaced, and files are deleted by path); FilesInUseContract (files held open
// without delete sharing, and moves into protected folders for removal at a restart);
// CodePageContract (names the single-byte code page cannot spell, and short names). An environment
// whose paths never lead through a link declares `static constexpr bool kFollowsLinks = false`.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>

#include "platform/file_system.h"

// Whether a path through a link or junction leads to its target: it does on Windows.
template <typename Environment, typename = void>
struct FollowsLinks : std::true_type {};
template <typename Environment>
struct FollowsLinks<Environment, std::void_t<decltype(Environment::kFollowsLinks)>>
    : std::bool_constant<Environment::kFollowsLinks> {};

// What the system lets no one delete as it is: a read-only, hidden, system file.
constexpr std::uint32_t kProtective =
    platform::kAttributeReadOnly | platform::kAttributeHidden | platform::kAttributeSystem;

template <typename Environment>
class FileSystemContract : public ::testing::Test {
 protected:
  std::string path(const std::string& relative) { return env.root() + "\\" + relative; }

  std::set<std::string> list(const std::string& pattern, std::set<std::string>* folders = nullptr) {
    std::set<std::string> names;
    platform::FindEntry entry;
    platform::ScopedSearch search(env.files().findFirst(pattern.c_str(), entry));
    if (!search) return names;
    do {
      std::string name = entry.fileName;
      if (name == "." || name == "..") continue;
      names.insert(name);
      if (folders != nullptr && (entry.attributes & platform::kAttributeDirectory) != 0) {
        folders->insert(name);
      }
    } while (env.files().findNext(search.get(), entry));
    return names;
  }

  std::string contentsThrough(platform::Handle file) {
    char buffer[64] = {};
    int got = env.files().seek(file, 0) ? env.files().read(file, buffer, sizeof buffer) : -1;
    return got < 0 ? std::string() : std::string(buffer, got);
  }
  std::string contentsOf(const std::string& relative) {
    platform::ScopedFile file(env.files().openForReading(path(relative).c_str()));
    return file ? contentsThrough(file.get()) : std::string("(absent)");
  }

  Environment env;
};

TYPED_TEST_SUITE_P(FileSystemContract);

TYPED_TEST_P(FileSystemContract, ListsEveryEntryOfAFolderWithItsKind) {
  this->env.addFile("plain.txt", "abc", platform::kAttributeArchive);
  this->env.addFile("noextension", "", platform::kAttributeArchive);
  this->env.addFolder("Sub Folder");
  this->env.addFile("Sub Folder\\inner.bin", "x", platform::kAttributeArchive);

  std::set<std::string> folders;
  EXPECT_EQ(this->list(this->path("*.*"), &folders),
            (std::set<std::string>{"plain.txt", "noextension", "Sub Folder"}));
  EXPECT_EQ(folders, std::set<std::string>{"Sub Folder"});
  EXPECT_EQ(this->list(this->path("plain.*")), std::set<std::string>{"plain.txt"});
  EXPECT_EQ(this->list(this->path("Sub Folder\\*.*")), std::set<std::string>{"inner.bin"});

  platform::FindEntry entry;
  EXPECT_EQ(this->env.files().findFirst(this->path("missing\\*.*").c_str(), entry),
            platform::kNoHandle);
}

TYPED_TEST_P(FileSystemContract, ReadsAtAnyOffsetAndStopsAtTheEnd) {
  this->env.addFile("data.bin", "0123456789", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();
  platform::ScopedFile file(files.openForReading(this->path("data.bin").c_str()));
  ASSERT_TRUE(file.valid());
  EXPECT_EQ(files.fileLength(file.get()), 10);

  char buffer[8] = {};
  EXPECT_TRUE(files.readAt(file.get(), 6, buffer, 4));
  EXPECT_EQ(std::string(buffer, 4), "6789");
  ASSERT_TRUE(files.seek(file.get(), 8));
  EXPECT_EQ(files.read(file.get(), buffer, 8), 2);
  // A position past the end is allowed; nothing can be read there.
  ASSERT_TRUE(files.seek(file.get(), 1000));
  EXPECT_EQ(files.read(file.get(), buffer, 4), 0);
  EXPECT_FALSE(files.readAt(file.get(), 9, buffer, 2));

  EXPECT_EQ(files.openForReading(this->path("absent.bin").c_str()), platform::kNoHandle);
}

TYPED_TEST_P(FileSystemContract, NamesTheWindowsSystemAndTemporaryDirectories) {
  char buffer[260];
  ASSERT_TRUE(this->env.files().windowsDirectory(buffer, sizeof buffer));
  EXPECT_TRUE(this->env.files().exists(buffer)) << buffer;
  ASSERT_TRUE(this->env.files().systemDirectory(buffer, sizeof buffer));
  EXPECT_TRUE(this->env.files().exists(buffer)) << buffer;
  ASSERT_TRUE(this->env.files().tempDirectory(buffer, sizeof buffer));
  EXPECT_EQ(buffer[std::strlen(buffer) - 1], '\\') << buffer;

  char tiny[3];
  EXPECT_FALSE(this->env.files().windowsDirectory(tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
  EXPECT_FALSE(this->env.files().systemDirectory(tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
}

TYPED_TEST_P(FileSystemContract, AFileIsExaminedAndRemovedThroughOneHandle) {
  this->env.addFile("guarded.exe", "MZ worm", kProtective);
  platform::FileSystem& files = this->env.files();
  platform::ScopedFile file(files.openForRemoval(this->path("guarded.exe").c_str()));
  ASSERT_TRUE(file.valid());

  platform::FileIdentity identity;
  ASSERT_TRUE(files.identify(file.get(), identity));
  EXPECT_EQ(identity.links, 1u);
  EXPECT_EQ(identity.attributes & platform::kAttributeReparsePoint, 0u);
  EXPECT_EQ(this->contentsThrough(file.get()), "MZ worm");
  EXPECT_EQ(files.fileLength(file.get()), 7);

  EXPECT_TRUE(files.setAttributesOf(file.get(), platform::kAttributeArchive));
  EXPECT_TRUE(files.deleteOpenFile(file.get()));
  file.reset();
  EXPECT_FALSE(files.exists(this->path("guarded.exe").c_str()));
}

// Another user swaps the folder of a file the scan holds for a link to another folder that has
// a file of the same name: what the handle removes is still the file it opened.
TYPED_TEST_P(FileSystemContract, AHandleFollowsItsFileWhenTheFolderIsSwappedForALink) {
  this->env.addFile("d\\victim.exe", "look-alike", platform::kAttributeArchive);
  this->env.addFile("system\\victim.exe", "system file", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();
  platform::ScopedFile file(files.openForRemoval(this->path("d\\victim.exe").c_str()));
  ASSERT_TRUE(file.valid());

  this->env.renameFolder("d", "moved");
  this->env.linkFolder("d", "system");
  if (FollowsLinks<TypeParam>::value) {
    ASSERT_EQ(this->contentsOf("d\\victim.exe"), "system file") << "the link does not lead there";
  } else {
    ASSERT_NE(this->contentsOf("d\\victim.exe"), "system file") << "the link is followed";
  }

  EXPECT_TRUE(files.setAttributesOf(file.get(), platform::kAttributeArchive));
  EXPECT_TRUE(files.deleteOpenFile(file.get()));
  file.reset();
  EXPECT_EQ(this->contentsOf("system\\victim.exe"), "system file");
  // That the look-alike itself is gone, wherever its folder went, the simulation shows (see
  // HostileUserTest): Windows deletes a file at its last close wherever it lies by then, while
  // Wine 8 deletes by the Unix path it had when opened and so keeps one whose folder was renamed.
}

TYPED_TEST_P(FileSystemContract, HardLinksShareOneIdentityAndFoldersAreNotOpenedForRemoval) {
  this->env.addFile("first.exe", "MZ", platform::kAttributeArchive);
  this->env.addHardLink("second.exe", "first.exe");
  this->env.addFile("other.exe", "MZ", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();

  platform::FileIdentity first, second, other, byPath;
  {
    platform::ScopedFile file(files.openForRemoval(this->path("first.exe").c_str()));
    ASSERT_TRUE(file.valid());
    ASSERT_TRUE(files.identify(file.get(), first));
  }
  ASSERT_TRUE(files.identifyPath(this->path("second.exe").c_str(), second));
  ASSERT_TRUE(files.identifyPath(this->path("other.exe").c_str(), other));
  EXPECT_EQ(first.links, 2u);
  EXPECT_TRUE(platform::sameFile(first, second));
  EXPECT_FALSE(platform::sameFile(first, other));
  EXPECT_FALSE(files.identifyPath(this->path("absent.exe").c_str(), byPath));

  this->env.addFolder("folder");
  this->env.linkFolder("link", "folder");
  EXPECT_EQ(files.openForRemoval(this->path("folder").c_str()), platform::kNoHandle);
  EXPECT_EQ(files.openForRemoval(this->path("link").c_str()), platform::kNoHandle);
}

TYPED_TEST_P(FileSystemContract, TheWindowsDirectoryLiesOnAFixedDrive) {
  char windows[260];
  ASSERT_TRUE(this->env.files().windowsDirectory(windows, sizeof windows));
  std::string root = std::string(windows).substr(0, 3);
  EXPECT_EQ(this->env.files().driveType(root.c_str()), platform::kDriveFixed) << root;
}

// Why an opening or a search failed: "nothing there" only when nothing is there, so that a folder
// or file that cannot be examined is never taken for an empty one.
TYPED_TEST_P(FileSystemContract, SaysWhyAnOpeningOrSearchFailed) {
  this->env.addFile("present.exe", "MZ", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();
  {
    platform::ScopedFile file(files.openForReading(this->path("present.exe").c_str()));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(files.lastOpenFailure(), platform::OpenFailure::kNone);
  }
  EXPECT_EQ(files.openForReading(this->path("absent.exe").c_str()), platform::kNoHandle);
  EXPECT_EQ(files.lastOpenFailure(), platform::OpenFailure::kNotFound);
  platform::FindEntry entry;
  EXPECT_EQ(files.findFirst(this->path("*.none").c_str(), entry), platform::kNoHandle);
  EXPECT_EQ(files.lastOpenFailure(), platform::OpenFailure::kNotFound);
  EXPECT_EQ(files.findFirst(this->path("absent\\*.*").c_str(), entry), platform::kNoHandle);
  EXPECT_EQ(files.lastOpenFailure(), platform::OpenFailure::kNotFound);
}

REGISTER_TYPED_TEST_SUITE_P(FileSystemContract, SaysWhyAnOpeningOrSearchFailed,
                            ListsEveryEntryOfAFolderWithItsKind, ReadsAtAnyOffsetAndStopsAtTheEnd,
                            NamesTheWindowsSystemAndTemporaryDirectories,
                            AFileIsExaminedAndRemovedThroughOneHandle,
                            AHandleFollowsItsFileWhenTheFolderIsSwappedForALink,
                            HardLinksShareOneIdentityAndFoldersAreNotOpenedForRemoval,
                            TheWindowsDirectoryLiesOnAFixedDrive);

// Read-only, hidden and system files resist deletion until their attributes are replaced.
template <typename Environment>
class ProtectiveAttributesContract : public FileSystemContract<Environment> {};

TYPED_TEST_SUITE_P(ProtectiveAttributesContract);

TYPED_TEST_P(ProtectiveAttributesContract,
             AReadOnlyFileIsDeletedOnlyAfterItsAttributesAreReplaced) {
  this->env.addFile("guarded.exe", "MZ", kProtective);
  platform::FileSystem& files = this->env.files();
  std::string guarded = this->path("guarded.exe");

  EXPECT_TRUE(files.exists(guarded.c_str()));
  EXPECT_FALSE(files.deleteFile(guarded.c_str()));
  EXPECT_TRUE(files.exists(guarded.c_str()));

  EXPECT_TRUE(files.setAttributes(guarded.c_str(), platform::kAttributeArchive));
  EXPECT_TRUE(files.deleteFile(guarded.c_str()));
  EXPECT_FALSE(files.exists(guarded.c_str()));
  EXPECT_FALSE(files.deleteFile(guarded.c_str()));
  EXPECT_FALSE(files.setAttributes(guarded.c_str(), platform::kAttributeArchive));
}

TYPED_TEST_P(ProtectiveAttributesContract,
             AReadOnlyFileIsRemovedThroughItsHandleOnlyOnceMadeWritable) {
  this->env.addFile("guarded.exe", "MZ worm", kProtective);
  platform::FileSystem& files = this->env.files();
  platform::ScopedFile file(files.openForRemoval(this->path("guarded.exe").c_str()));
  ASSERT_TRUE(file.valid());

  EXPECT_FALSE(files.deleteOpenFile(file.get())) << "a read-only file";
  EXPECT_TRUE(files.setAttributesOf(file.get(), platform::kAttributeArchive));
  EXPECT_TRUE(files.deleteOpenFile(file.get()));
  file.reset();
  EXPECT_FALSE(files.exists(this->path("guarded.exe").c_str()));
}

REGISTER_TYPED_TEST_SUITE_P(ProtectiveAttributesContract,
                            AReadOnlyFileIsDeletedOnlyAfterItsAttributesAreReplaced,
                            AReadOnlyFileIsRemovedThroughItsHandleOnlyOnceMadeWritable);

// Files in use by a running system: held without delete sharing, or moved aside into a folder
// made for them until a restart removes them.
template <typename Environment>
class FilesInUseContract : public FileSystemContract<Environment> {};

TYPED_TEST_SUITE_P(FilesInUseContract);

TYPED_TEST_P(FilesInUseContract, AFileInUseWithoutDeleteSharingCanOnlyBeRead) {
  this->env.addFile("held.exe", "MZ", platform::kAttributeArchive);
  this->env.holdWithoutDeleteSharing("held.exe");
  platform::FileSystem& files = this->env.files();
  EXPECT_EQ(files.openForRemoval(this->path("held.exe").c_str()), platform::kNoHandle);
  platform::ScopedFile file(files.openForReading(this->path("held.exe").c_str()));
  ASSERT_TRUE(file.valid());
  platform::FileIdentity identity;
  EXPECT_TRUE(files.identify(file.get(), identity));
  EXPECT_EQ(identity.links, 1u);
}

TYPED_TEST_P(FilesInUseContract, AnOpenFileMovesIntoAFolderMadeForItAndKeepsItsIdentity) {
  this->env.addFile("worm.exe", "MZ worm", platform::kAttributeArchive);
  this->env.addFile("taken.exe", "MZ", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();
  std::string folder = this->path("kept");
  ASSERT_TRUE(files.createProtectedFolder(folder.c_str()));
  EXPECT_FALSE(files.createProtectedFolder(folder.c_str())) << "an existing folder is not taken";
  EXPECT_FALSE(files.createProtectedFolder(this->path("missing\\kept").c_str()));

  platform::ScopedFile file(files.openForRemoval(this->path("worm.exe").c_str()));
  ASSERT_TRUE(file.valid());
  platform::FileIdentity before, after;
  ASSERT_TRUE(files.identify(file.get(), before));
  EXPECT_FALSE(files.moveOpenFile(file.get(), this->path("taken.exe").c_str()));
  EXPECT_TRUE(files.moveOpenFile(file.get(), (folder + "\\worm.exe").c_str()));
  file.reset();

  EXPECT_FALSE(files.exists(this->path("worm.exe").c_str()));
  EXPECT_EQ(this->contentsOf("kept\\worm.exe"), "MZ worm");
  ASSERT_TRUE(files.identifyPath((folder + "\\worm.exe").c_str(), after));
  EXPECT_TRUE(platform::sameFile(before, after));
  EXPECT_EQ(this->contentsOf("taken.exe"), "MZ");
}

REGISTER_TYPED_TEST_SUITE_P(FilesInUseContract, AFileInUseWithoutDeleteSharingCanOnlyBeRead,
                            AnOpenFileMovesIntoAFolderMadeForItAndKeepsItsIdentity);

// Names that the single-byte code page cannot spell.
template <typename Environment>
class CodePageContract : public FileSystemContract<Environment> {};

TYPED_TEST_SUITE_P(CodePageContract);

TYPED_TEST_P(CodePageContract, ANameOutsideTheCodePageIsListedAsNotExactWithItsShortName) {
  this->env.addFolder("q");
  this->env.addFileOutsideTheCodePage("q", "MZ hidden");
  this->env.addFile("q\\plain.exe", "MZ", platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();

  platform::FindEntry entry;
  platform::ScopedSearch search(files.findFirst(this->path("q\\*.*").c_str(), entry));
  ASSERT_TRUE(search.valid());
  int foreign = 0;
  do {
    std::string name = entry.fileName;
    if (name == "." || name == ".." || name == "plain.exe") {
      EXPECT_TRUE(entry.exactName) << name;
      continue;
    }
    ++foreign;
    EXPECT_FALSE(entry.exactName) << name;
    ASSERT_STRNE(entry.alternateName, "") << name;
    EXPECT_EQ(std::string(entry.alternateName).find_first_of("\\/:?*"), std::string::npos);
    EXPECT_EQ(this->contentsOf(std::string("q\\") + entry.alternateName), "MZ hidden");
  } while (files.findNext(search.get(), entry));
  EXPECT_EQ(foreign, 1);
  EXPECT_EQ(this->contentsOf("outside.exe"), "(absent)");
}

// A long name has a short name beside it: listed with the entry, given for the folder by the
// short path, and taken in a path, so that a path too long for the program's buffers can still
// reach the file.
TYPED_TEST_P(CodePageContract, ALongNameIsAlsoReachedByItsShortName) {
  const std::string folder = "a folder with a long name";
  this->env.addFile(folder + "\\a file with a long name.exe", "MZ long",
                    platform::kAttributeArchive);
  platform::FileSystem& files = this->env.files();

  platform::FindEntry entry;
  platform::ScopedSearch search(files.findFirst(this->path(folder + "\\*.exe").c_str(), entry));
  ASSERT_TRUE(search.valid());
  EXPECT_STREQ(entry.fileName, "a file with a long name.exe");
  std::string shortName = entry.alternateName;
  ASSERT_NE(shortName, "");
  EXPECT_LE(shortName.size(), 12u) << shortName;
  EXPECT_EQ(shortName.find_first_of("\\/:?* "), std::string::npos) << shortName;
  EXPECT_EQ(this->contentsOf(folder + "\\" + shortName), "MZ long");

  char shortFolder[platform::kMaxPath];
  ASSERT_TRUE(files.shortPathName(this->path(folder).c_str(), shortFolder, sizeof shortFolder));
  EXPECT_EQ(std::string(shortFolder).find(' '), std::string::npos) << shortFolder;
  platform::ScopedFile file(
      files.openForReading((std::string(shortFolder) + "\\" + shortName).c_str()));
  ASSERT_TRUE(file.valid()) << shortFolder;
  EXPECT_EQ(this->contentsThrough(file.get()), "MZ long");
}

REGISTER_TYPED_TEST_SUITE_P(CodePageContract,
                            ANameOutsideTheCodePageIsListedAsNotExactWithItsShortName,
                            ALongNameIsAlsoReachedByItsShortName);
