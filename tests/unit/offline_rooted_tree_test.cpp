// The rooted tree: Windows-style paths below a root, matched as Windows matches names, never
// through a link and never out of the root.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/offline/rooted_tree.h"

namespace {

using platform::offline::EntryKind;
using platform::offline::FileIdentity;
using platform::offline::FolderListing;
using platform::offline::RootedTree;
using platform::offline::ScopedFd;
using platform::offline::TreeEntry;
using platform::offline::TreeError;

class RootedTreeTest : public ::testing::Test {
 protected:
  RootedTreeTest() {
    char pattern[] = "/tmp/vandrel-tree-XXXXXX";
    base = mkdtemp(pattern);
    root = base + "/root";
    outside = base + "/outside";
    std::filesystem::create_directories(root + "/WINDOWS/system32/config");
    std::filesystem::create_directories(outside);
    write(outside + "/secret.exe", "outside the root");
    write(root + "/WINDOWS/system32/msblast.exe", "MZ worm");
    EXPECT_TRUE(tree.open(root.c_str()));
  }
  ~RootedTreeTest() override { std::filesystem::remove_all(base); }

  static void write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // Opens `relative` and reads what it holds; the tree's error when it cannot.
  std::string contents(const char* relative) {
    FileIdentity identity;
    ScopedFd file = tree.openFile(relative, identity);
    if (!file) return std::string("error: ") + platform::offline::describe(tree.error());
    char buffer[64] = {};
    ssize_t got = pread(file.get(), buffer, sizeof buffer - 1, 0);
    return got < 0 ? "unreadable" : std::string(buffer, static_cast<std::size_t>(got));
  }

  std::string base;
  std::string root;
  std::string outside;
  RootedTree tree;
};

TEST_F(RootedTreeTest, NamesMatchInAnyLetterCaseAndAreReportedAsOnDisk) {
  EXPECT_EQ(contents(R"(WINDOWS\system32\msblast.exe)"), "MZ worm");
  EXPECT_EQ(contents(R"(windows\SYSTEM32\MsBlast.EXE)"), "MZ worm");
  EXPECT_GE(tree.folder(R"(Windows\System32\Config)"), 0);

  FileIdentity identity;
  std::string onDisk;
  ScopedFd file = tree.openFile(R"(windows\system32\MSBLAST.EXE)", identity, &onDisk);
  ASSERT_TRUE(file);
  EXPECT_EQ(onDisk, "msblast.exe");
  struct stat status;
  ASSERT_EQ(stat((root + "/WINDOWS/system32/msblast.exe").c_str(), &status), 0);
  EXPECT_TRUE(identity.sameFileAs({status.st_dev, status.st_ino, 1}));
  EXPECT_EQ(identity.links, 1u);

  TreeEntry entry;
  ASSERT_TRUE(tree.find(tree.rootFd(), "windows", entry));
  EXPECT_STREQ(entry.name, "WINDOWS");
  EXPECT_EQ(entry.kind, EntryKind::kFolder);
  EXPECT_EQ(contents(R"(WINDOWS\system32\absent.exe)"), "error: not found");
}

TEST_F(RootedTreeTest, LinksAreNeverFollowedWhereverTheyLead) {
  std::filesystem::create_directory_symlink(outside, root + "/WINDOWS/Temp");
  std::filesystem::create_symlink(outside + "/secret.exe", root + "/WINDOWS/notepad.exe");
  // A link that stays inside the root is refused all the same: the walk sees its target anyway.
  std::filesystem::create_directory_symlink(root + "/WINDOWS/system32", root + "/WINDOWS/sys");

  EXPECT_EQ(tree.folder(R"(WINDOWS\Temp)"), -1);
  EXPECT_EQ(tree.error(), TreeError::kLink);
  EXPECT_EQ(contents(R"(WINDOWS\Temp\secret.exe)"), "error: a symbolic link, not followed");
  EXPECT_EQ(contents(R"(WINDOWS\temp\SECRET.EXE)"), "error: a symbolic link, not followed");
  EXPECT_EQ(contents(R"(WINDOWS\notepad.exe)"), "error: a symbolic link, not followed");
  EXPECT_EQ(contents(R"(WINDOWS\NOTEPAD.EXE)"), "error: a symbolic link, not followed");
  EXPECT_EQ(contents(R"(WINDOWS\sys\msblast.exe)"), "error: a symbolic link, not followed");

  std::set<std::string> links;
  FolderListing listing;
  ASSERT_TRUE(listing.open(tree.folder("WINDOWS")));
  TreeEntry entry;
  while (listing.next(entry)) {
    if (entry.kind == EntryKind::kLink) links.insert(entry.name);
  }
  EXPECT_EQ(links, (std::set<std::string>{"Temp", "notepad.exe", "sys"}));
}

// A walk opens each name its listing gave, so both twins are reached by their exact spelling; a
// part of the installation is looked up without a twin, however it is spelt.
TEST_F(RootedTreeTest, ANameThatTwoEntriesAnswerToIsRefusedUnlessSpeltExactly) {
  std::filesystem::create_directories(root + "/WINDOWS/Temp");
  std::filesystem::create_directories(root + "/WINDOWS/TEMP");
  write(root + "/WINDOWS/system32/Setup.exe", "one");
  write(root + "/WINDOWS/system32/SETUP.EXE", "two");

  EXPECT_EQ(tree.folder(R"(WINDOWS\temp)"), -1);
  EXPECT_EQ(tree.error(), TreeError::kAmbiguous);
  EXPECT_GE(tree.folder(R"(WINDOWS\TEMP)"), 0);
  EXPECT_EQ(contents(R"(WINDOWS\system32\setup.exe)"),
            "error: more than one entry has that name in some letter case");
  EXPECT_EQ(contents(R"(WINDOWS\system32\SETUP.EXE)"), "two");
  EXPECT_EQ(contents(R"(WINDOWS\system32\Setup.exe)"), "one");

  int windows = tree.folder("WINDOWS");
  ASSERT_GE(windows, 0);
  TreeEntry entry;
  for (const char* spelling : {"TEMP", "Temp", "temp"}) {
    EXPECT_FALSE(tree.findWithoutTwin(windows, spelling, entry)) << spelling;
    EXPECT_EQ(tree.error(), TreeError::kAmbiguous) << spelling;
  }
  ASSERT_TRUE(tree.findWithoutTwin(windows, "SYSTEM32", entry));
  EXPECT_STREQ(entry.name, "system32");
  EXPECT_EQ(entry.kind, EntryKind::kFolder);
  EXPECT_FALSE(tree.findWithoutTwin(windows, "..", entry));
  EXPECT_EQ(tree.error(), TreeError::kBadName);
  EXPECT_FALSE(tree.findWithoutTwin(windows, "absent", entry));
  EXPECT_EQ(tree.error(), TreeError::kNotFound);
}

TEST_F(RootedTreeTest, OnlyPlainComponentsAreAccepted) {
  for (const char* path : {R"(..\outside\secret.exe)", R"(WINDOWS\..\..\outside\secret.exe)",
                           R"(WINDOWS\.\system32\msblast.exe)", R"(WINDOWS\\system32\msblast.exe)",
                           R"(\WINDOWS\system32\msblast.exe)", "WINDOWS/system32/msblast.exe",
                           R"(WINDOWS\system32\)"}) {
    EXPECT_EQ(contents(path), "error: not an acceptable name") << path;
  }
  // Longer than any NTFS name in UTF-8 (255 UTF-16 units of three bytes each).
  std::string tooLong(3 * 255 + 1, 'a');
  EXPECT_EQ(tree.folder(tooLong.c_str()), -1);
  EXPECT_EQ(tree.error(), TreeError::kBadName);
}

TEST_F(RootedTreeTest, OnlyRegularFilesAreOpenedAndFoldersOnlyAsFolders) {
  ASSERT_EQ(mkfifo((root + "/WINDOWS/pipe").c_str(), 0600), 0);
  // A pipe opened for reading would wait for a writer: it must not even be opened.
  EXPECT_EQ(contents(R"(WINDOWS\pipe)"), "error: not a regular file");
  EXPECT_EQ(contents(R"(WINDOWS\system32)"), "error: not a regular file");
  EXPECT_EQ(tree.folder(R"(WINDOWS\system32\msblast.exe)"), -1);
  EXPECT_EQ(tree.error(), TreeError::kNotAFolder);

  TreeEntry entry;
  ASSERT_TRUE(tree.find(tree.folder("WINDOWS"), "PIPE", entry));
  EXPECT_EQ(entry.kind, EntryKind::kOther);
}

TEST_F(RootedTreeTest, FoldersStayReachableWhenMoreAreOpenedThanTheCacheKeeps) {
  const std::size_t count = 3 * RootedTree::kCachedFolders;
  for (std::size_t i = 0; i < count; ++i) {
    std::string folder = root + "/WINDOWS/f" + std::to_string(i);
    std::filesystem::create_directories(folder + "/inner");
    write(folder + "/inner/file.txt", std::to_string(i));
  }
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < count; ++i) {
      std::string path = R"(WINDOWS\f)" + std::to_string(i) + R"(\inner\file.txt)";
      EXPECT_EQ(contents(path.c_str()), std::to_string(i)) << path;
    }
  }
  // Each folder its own descriptor: a listing through one does not disturb another.
  ScopedFd first = tree.openFolder(R"(WINDOWS\f0)");
  ScopedFd again = tree.openFolder(R"(WINDOWS\f0)");
  ASSERT_TRUE(first && again);
  FolderListing a, b;
  TreeEntry one, two;
  ASSERT_TRUE(a.open(first.get()) && a.next(one));
  ASSERT_TRUE(b.open(again.get()) && b.next(two));
  EXPECT_STREQ(one.name, "inner");
  EXPECT_STREQ(two.name, "inner");
}

TEST_F(RootedTreeTest, AWalkListsFoldersAndOpensTheirFilesInAnyOrderOfListings) {
  std::filesystem::create_directories(outside + "/inner");
  std::filesystem::create_directory_symlink(outside, root + "/WINDOWS/Temp");
  FolderListing linked;
  EXPECT_FALSE(linked.open(tree, R"(WINDOWS\Temp)"));
  EXPECT_EQ(tree.error(), TreeError::kLink);

  // Two listings of one folder at once, each at its own place, with its files opened meanwhile.
  {
    FolderListing outer, inner;
    ASSERT_TRUE(outer.open(tree, R"(windows\SYSTEM32)"));
    std::set<std::string> seen;
    TreeEntry entry;
    while (outer.next(entry)) {
      seen.insert(entry.name);
      ASSERT_TRUE(inner.open(tree, R"(WINDOWS\system32)"));
      std::set<std::string> again;
      while (inner.next(entry)) again.insert(entry.name);
      EXPECT_EQ(again, (std::set<std::string>{"config", "msblast.exe"}));
      EXPECT_EQ(contents(R"(windows\SYSTEM32\msblast.exe)"), "MZ worm");
    }
    EXPECT_EQ(seen, (std::set<std::string>{"config", "msblast.exe"}));
  }
  EXPECT_EQ(contents(R"(windows\SYSTEM32\msblast.exe)"), "MZ worm") << "after the listings";
}

TEST(RootedTreeOpen, ARootThatIsNotAFolderIsRefused) {
  RootedTree tree;
  EXPECT_FALSE(tree.open("/nonexistent/vandrel-root"));
  EXPECT_EQ(tree.error(), TreeError::kSystem);
  EXPECT_FALSE(tree.open("/etc/hostname"));
  EXPECT_EQ(tree.error(), TreeError::kNotAFolder);
}

}  // namespace
