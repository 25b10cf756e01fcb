// What the scan relies on from the file part of the seam, asserted the same way against
// SimulatedWindows on Linux and against the Win32 implementation under Wine.
//
// An environment type supplies: root() (an empty folder, no trailing backslash), files() (the
// FileSystem under test), addFile(relative path, bytes, attributes) and addFolder(relative path).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "platform/file_system.h"

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

TYPED_TEST_P(FileSystemContract, AReadOnlyFileIsDeletedOnlyAfterItsAttributesAreReplaced) {
  std::uint32_t protective =
      platform::kAttributeReadOnly | platform::kAttributeHidden | platform::kAttributeSystem;
  this->env.addFile("guarded.exe", "MZ", protective);
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

TYPED_TEST_P(FileSystemContract, NamesTheWindowsAndTemporaryDirectories) {
  char buffer[260];
  ASSERT_TRUE(this->env.files().windowsDirectory(buffer, sizeof buffer));
  EXPECT_TRUE(this->env.files().exists(buffer)) << buffer;
  ASSERT_TRUE(this->env.files().tempDirectory(buffer, sizeof buffer));
  EXPECT_EQ(buffer[std::strlen(buffer) - 1], '\\') << buffer;

  char tiny[3];
  EXPECT_FALSE(this->env.files().windowsDirectory(tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
}

REGISTER_TYPED_TEST_SUITE_P(FileSystemContract, ListsEveryEntryOfAFolderWithItsKind,
                            ReadsAtAnyOffsetAndStopsAtTheEnd,
                            AReadOnlyFileIsDeletedOnlyAfterItsAttributesAreReplaced,
                            NamesTheWindowsAndTemporaryDirectories);
