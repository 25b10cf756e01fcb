// The read-only view of this machine's files that the tools use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/host/host_file_system.h"

namespace {

using platform::host::ReadOnlyFiles;

class HostFileSystemTest : public ::testing::Test {
 protected:
  HostFileSystemTest() {
    char pattern[] = "/tmp/vandrel-host-XXXXXX";
    root = mkdtemp(pattern);
  }
  ~HostFileSystemTest() override { std::filesystem::remove_all(root); }

  std::string path(const std::string& relative) const { return root + "/" + relative; }
  void write(const std::string& relative, const std::string& bytes) {
    std::ofstream(path(relative), std::ios::binary) << bytes;
  }
  std::map<std::string, std::uint32_t> list(const std::string& mask) {
    std::map<std::string, std::uint32_t> entries;
    platform::FindEntry entry;
    platform::Handle search = files.findFirst(path(mask).c_str(), entry);
    if (search == platform::kNoHandle) return entries;
    do {
      entries[entry.fileName] = entry.attributes;
    } while (files.findNext(search, entry));
    files.findClose(search);
    return entries;
  }

  std::string root;
  ReadOnlyFiles files;
};

TEST_F(HostFileSystemTest, ListsEntriesAsWindowsWouldWithLinksAndDevicesMarked) {
  write("Plain.EXE", "MZ");
  write("noextension", "");
  std::filesystem::create_directory(path("folder"));
  std::filesystem::create_directory_symlink(path("folder"), path("folder-link"));
  std::filesystem::create_symlink(path("Plain.EXE"), path("file-link"));
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);

  std::map<std::string, std::uint32_t> all = list("*");
  EXPECT_EQ(all.size(), 8u);  // "." and ".." too
  EXPECT_EQ(all["Plain.EXE"], platform::kAttributeArchive);
  EXPECT_EQ(all["folder"], platform::kAttributeDirectory);
  EXPECT_EQ(all["folder-link"], platform::kAttributeDirectory | platform::kAttributeReparsePoint);
  EXPECT_EQ(all["file-link"], platform::kAttributeReparsePoint);
  EXPECT_EQ(all["pipe"], platform::host::kAttributeDevice);
  EXPECT_EQ(list("*.*"), all);
  EXPECT_EQ(list("*.exe").count("Plain.EXE"), 1u);
  EXPECT_EQ(list("*.exe").size(), 1u);
  platform::FindEntry entry;
  EXPECT_EQ(files.findFirst(path("missing/*").c_str(), entry), platform::kNoHandle);
}

TEST_F(HostFileSystemTest, ReadsRegularFilesOnlyAndCountsWhatItHandsOut) {
  write("data.bin", "0123456789");
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(path("folder"));

  platform::Handle file = files.openForReading(path("data.bin").c_str());
  ASSERT_NE(file, platform::kNoHandle);
  EXPECT_EQ(files.fileLength(file), 10);
  char buffer[8];
  EXPECT_TRUE(files.readAt(file, 6, buffer, 4));
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(files.read(file, buffer, 4), 0);
  EXPECT_FALSE(files.readAt(file, 8, buffer, 4));
  EXPECT_EQ(files.bytesRead(), 6u);
  files.closeFile(file);

  // A pipe with no writer would block a reader; a folder is not a file.
  EXPECT_EQ(files.openForReading(path("pipe").c_str()), platform::kNoHandle);
  EXPECT_EQ(files.openForReading(path("folder").c_str()), platform::kNoHandle);
  EXPECT_EQ(files.openForReading(path("absent").c_str()), platform::kNoHandle);
}

// A walk opens each file of the folder it is listing; a file is the same whether it is reached
// from that listing or by its whole path, before the listing, during it and after.
TEST_F(HostFileSystemTest, AFileOfTheFolderBeingListedReadsAsByItsWholePath) {
  std::filesystem::create_directory(path("sub"));
  write("sub/inner.bin", "inner");
  write("outer.bin", "outer");
  auto readAll = [this](const std::string& name) {
    platform::Handle file = files.openForReading(path(name).c_str());
    if (file == platform::kNoHandle) return std::string("(none)");
    char buffer[16] = {};
    int got = files.read(file, buffer, sizeof buffer);
    files.closeFile(file);
    return std::string(buffer, got > 0 ? got : 0);
  };
  platform::FindEntry entry;
  platform::Handle outer = files.findFirst(path("*").c_str(), entry);
  ASSERT_NE(outer, platform::kNoHandle);
  platform::Handle inner = files.findFirst(path("sub/*").c_str(), entry);
  ASSERT_NE(inner, platform::kNoHandle);
  EXPECT_EQ(readAll("sub/inner.bin"), "inner");
  EXPECT_EQ(readAll("outer.bin"), "outer") << "a file of another folder than the one listed";
  EXPECT_EQ(readAll("sub/absent.bin"), "(none)");
  files.findClose(inner);
  EXPECT_EQ(readAll("sub/inner.bin"), "inner") << "its listing closed";
  files.findNext(outer, entry);
  EXPECT_EQ(readAll("outer.bin"), "outer");
  EXPECT_EQ(readAll("sub"), "(none)") << "a folder is not a file";
  files.findClose(outer);
}

TEST_F(HostFileSystemTest, ChangesNothing) {
  write("keep.exe", "MZ");
  EXPECT_FALSE(files.setAttributes(path("keep.exe").c_str(), platform::kAttributeArchive));
  EXPECT_FALSE(files.deleteFile(path("keep.exe").c_str()));
  EXPECT_TRUE(files.exists(path("keep.exe").c_str()));
  EXPECT_TRUE(std::filesystem::exists(path("keep.exe")));
}

}  // namespace
