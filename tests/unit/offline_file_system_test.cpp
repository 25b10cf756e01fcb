// The file seam over a mounted installation: the shared contract where it applies offline, and
// what offline adds to it: drive C: over on-disk names, links never followed, names Windows
// cannot hold, removal only while the name still leads to the open file, and the dry run.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "contract/file_system_contract.h"
#include "offline/fake_short_names.h"
#include "platform/offline/name_mask.h"
#include "platform/offline/offline_file_system.h"
#include "platform/offline/utf16_length.h"
#include "platform/os.h"

namespace {

namespace fs = std::filesystem;
using platform::offline::Installation;
using platform::offline::OfflineFileSystem;
using platform::offline::RootedTree;

// A temporary folder laid out as a small installation: WINDOWS with its Temp, and CONTRACT,
// the contract's own folder on drive C:.
class OfflineEnvironment {
 public:
  static constexpr bool kFollowsLinks = false;

  OfflineEnvironment() {
    char pattern[] = "/tmp/vandrel-offline-files-XXXXXX";
    if (mkdtemp(pattern) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
    host_ = pattern;
    fs::create_directories(host("WINDOWS\\Temp"));
    fs::create_directories(host("WINDOWS\\system32"));
    fs::create_directories(host("CONTRACT"));
    installation_.windowsFolder = "WINDOWS";
    installation_.windowsTemp = "WINDOWS\\Temp";
    EXPECT_TRUE(tree_.open(host_.c_str()));
  }
  ~OfflineEnvironment() {
    EXPECT_EQ(files_.openHandleCount(), 0u) << "handles left open";
    fs::remove_all(host_);
  }

  std::string root() const { return R"(C:\CONTRACT)"; }
  OfflineFileSystem& files() { return files_; }
  // The host path of a path below the installation's root, written with backslashes.
  std::string host(std::string relative) const {
    for (char& c : relative) c = c == '\\' ? '/' : c;
    return relative.empty() ? host_ : host_ + "/" + relative;
  }
  std::string inContract(const std::string& relative) const {
    return host("CONTRACT\\" + relative);
  }

  void addFile(const std::string& relative, const std::string& bytes, std::uint32_t = 0) {
    fs::create_directories(fs::path(inContract(relative)).parent_path());
    std::ofstream(inContract(relative), std::ios::binary) << bytes;
  }
  void addFolder(const std::string& relative) { fs::create_directories(inContract(relative)); }
  void renameFolder(const std::string& from, const std::string& to) {
    fs::rename(inContract(from), inContract(to));
  }
  void linkFolder(const std::string& link, const std::string& target) {
    fs::create_directory_symlink(target, inContract(link));
  }
  void addHardLink(const std::string& name, const std::string& existing) {
    fs::create_hard_link(inContract(existing), inContract(name));
  }

 private:
  std::string host_;
  Installation installation_;
  RootedTree tree_;
  OfflineFileSystem files_{tree_, installation_};
  // The seam's scoped handles give theirs back to the installed file system.
  platform::ScopedInstall installed_{withFiles(&files_)};

  static platform::Os withFiles(platform::FileSystem* files) {
    platform::Os os = platform::installed();
    os.files = files;
    return os;
  }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Offline, FileSystemContract, OfflineEnvironment);

class OfflineFileSystemTest : public ::testing::Test {
 protected:
  std::vector<std::string> list(const std::string& pattern) {
    std::vector<std::string> names;
    platform::FindEntry entry;
    platform::ScopedSearch search(files().findFirst(pattern.c_str(), entry));
    if (!search) return names;
    do {
      std::string kind = (entry.attributes & platform::kAttributeDirectory) != 0 ? "/" : "";
      if ((entry.attributes & platform::kAttributeReparsePoint) != 0) kind += "@";
      if (!entry.exactName) kind += "?";
      names.push_back(entry.fileName + kind);
    } while (files().findNext(search.get(), entry));
    std::sort(names.begin(), names.end());
    return names;
  }
  bool opensForReading(const char* path) {
    return platform::ScopedFile(files().openForReading(path)).valid();
  }
  OfflineFileSystem& files() { return env.files(); }

  OfflineEnvironment env;
};

TEST_F(OfflineFileSystemTest, PathsOnDriveCLeadToTheOnDiskNamesWhateverTheirCase) {
  env.addFile("System32\\MsBlast.exe", "MZ worm");
  EXPECT_TRUE(opensForReading(R"(C:\CONTRACT\System32\MsBlast.exe)"));
  EXPECT_TRUE(opensForReading(R"(c:\contract\SYSTEM32\msblast.EXE)"));
  // The temporary path ends in a backslash, to which the scan appends "\*.*".
  EXPECT_TRUE(opensForReading(R"(C:\CONTRACT\System32\\MsBlast.exe)"));
  EXPECT_FALSE(opensForReading(R"(D:\CONTRACT\System32\MsBlast.exe)"));
  EXPECT_FALSE(opensForReading(R"(C:\CONTRACT\System32\..\System32\MsBlast.exe)"));
  EXPECT_FALSE(opensForReading(R"(C:\CONTRACT\System32)")) << "a folder";
  EXPECT_TRUE(files().exists("C:\\"));

  std::string relative;
  EXPECT_TRUE(platform::offline::relativeToDriveC(R"(C:\\WINDOWS\Temp\\x.exe)", relative));
  EXPECT_EQ(relative, R"(WINDOWS\Temp\x.exe)");

  char buffer[260];
  ASSERT_TRUE(files().windowsDirectory(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, R"(C:\WINDOWS)");
  ASSERT_TRUE(files().systemDirectory(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, R"(C:\WINDOWS\system32)");
  ASSERT_TRUE(files().tempDirectory(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, R"(C:\WINDOWS\Temp\)");
  EXPECT_EQ(files().driveType("D:\\"), platform::kDriveUnknown);
}

TEST_F(OfflineFileSystemTest, ListingsShowLinksAsLinksAndMarkNamesWindowsCannotHold) {
  env.addFile("q\\plain.exe", "MZ");
  // One name on disk, backslashes and all: joined to its folder it would lead elsewhere.
  std::ofstream(env.inContract("q") + "/..\\outside.exe") << "MZ hidden";
  env.addFile("q\\msblast", "MZ");
  env.addFolder("q\\Sub");
  fs::create_symlink("/etc/passwd", env.inContract("q/msblast.exe"));
  fs::create_directory_symlink("/etc", env.inContract("q/system32"));

  EXPECT_EQ(list(R"(C:\CONTRACT\q\*.*)"),
            (std::vector<std::string>{"..\\outside.exe?", "Sub/", "msblast", "msblast.exe@",
                                      "plain.exe", "system32@"}));
  EXPECT_EQ(list(R"(C:\CONTRACT\q\MSBL?ST.*)"),
            (std::vector<std::string>{"msblast", "msblast.exe@"}));
  EXPECT_EQ(list(R"(C:\CONTRACT\q\system32\*.*)"), std::vector<std::string>{})
      << "a link to a folder is never listed through";
  EXPECT_EQ(list(R"(C:\CONTRACT\q\plain.exe\*.*)"), std::vector<std::string>{});

  // A link is there, but neither opened, nor identified, nor removed.
  EXPECT_TRUE(files().exists(R"(C:\CONTRACT\q\msblast.exe)"));
  EXPECT_FALSE(opensForReading(R"(C:\CONTRACT\q\msblast.exe)"));
  EXPECT_EQ(files().openForRemoval(R"(C:\CONTRACT\q\msblast.exe)"), platform::kNoHandle);
  platform::FileIdentity identity;
  EXPECT_FALSE(files().identifyPath(R"(C:\CONTRACT\q\msblast.exe)", identity));
  EXPECT_FALSE(files().identifyPath(R"(C:\CONTRACT\q\system32\passwd)", identity));
  EXPECT_TRUE(fs::is_symlink(env.inContract("q/msblast.exe")));
}

TEST_F(OfflineFileSystemTest, ARemovalActsOnlyWhileTheNameStillLeadsToTheOpenFile) {
  env.addFile("worm.exe", "MZ worm");
  env.addFile("elsewhere\\system.dll", "MZ system");
  EXPECT_FALSE(files().deleteFile(R"(C:\CONTRACT\worm.exe)")) << "never by path";
  platform::ScopedFile file(files().openForRemoval(R"(C:\CONTRACT\worm.exe)"));
  ASSERT_TRUE(file.valid());

  // Another user puts something else under the name: a link, then another file.
  fs::rename(env.inContract("worm.exe"), env.inContract("kept.exe"));
  fs::create_symlink(env.inContract("elsewhere/system.dll"), env.inContract("worm.exe"));
  EXPECT_FALSE(files().deleteOpenFile(file.get()));
  fs::remove(env.inContract("worm.exe"));
  fs::create_hard_link(env.inContract("elsewhere/system.dll"), env.inContract("worm.exe"));
  EXPECT_FALSE(files().deleteOpenFile(file.get()));
  EXPECT_TRUE(fs::exists(env.inContract("worm.exe")));
  EXPECT_TRUE(fs::exists(env.inContract("elsewhere/system.dll")));

  // Put back, the name leads to the open file again; a handle opened for reading never removes.
  fs::remove(env.inContract("worm.exe"));
  fs::rename(env.inContract("kept.exe"), env.inContract("worm.exe"));
  platform::ScopedFile reading(files().openForReading(R"(C:\CONTRACT\worm.exe)"));
  EXPECT_FALSE(files().deleteOpenFile(reading.get()));
  EXPECT_TRUE(files().deleteOpenFile(file.get()));
  EXPECT_FALSE(fs::exists(env.inContract("worm.exe")));
  EXPECT_FALSE(files().deleteOpenFile(file.get())) << "gone already";
}

TEST_F(OfflineFileSystemTest, ADryRunRemovesNothingAndLeavesTheFileOutOfLaterListings) {
  env.addFile("Temp\\worm.exe", "MZ worm");
  env.addFile("Temp\\keep.txt", "text");
  files().setDryRun(true);
  {
    platform::ScopedFile file(files().openForRemoval(R"(C:\CONTRACT\Temp\worm.exe)"));
    ASSERT_TRUE(file.valid());
    EXPECT_TRUE(files().deleteOpenFile(file.get()));
  }
  EXPECT_TRUE(fs::exists(env.inContract("Temp/worm.exe")));
  EXPECT_EQ(list(R"(C:\CONTRACT\Temp\*.*)"), std::vector<std::string>{"keep.txt"});
  // The same folder by another spelling, as the walk of the temporary folder reaches it.
  EXPECT_EQ(list(R"(C:\contract\TEMP\\*.*)"), std::vector<std::string>{"keep.txt"});
}

// On an ntfs-3g mount a long name's short form is a link of its own: the file is one name to
// Windows, and removing the long name takes the short form with it. Only that pair counts as one.
TEST_F(OfflineFileSystemTest, ALongNameAndItsShortFormAloneAreOneName) {
  struct Case {
    const char* what;
    int extraLinks;         // hard links made besides the long name, in another folder
    const char* shortForm;  // ntfs-3g's answer for the long name; null for none
    std::uint32_t names;    // what identify() says
    bool asked;
  } cases[] = {
      {"a long name with its short form", 1, "WINDOW~1.EXE", 1, true},
      {"a second link and no short form", 1, nullptr, 2, true},
      {"a name that is its own short form, and a second link", 1, "WINDOWSUPDATE.EXE", 2, true},
      {"a short form and a further link", 2, "WINDOW~1.EXE", 3, false},
      {"one link", 0, nullptr, 1, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A folder for each case, and the other links in one beside it.
    std::string folder = "s" + std::to_string(++n);
    env.addFile(folder + "\\windowsupdate.exe", "MZ worm");
    env.addFolder(folder + "-links");
    for (int i = 0; i < c.extraLinks; ++i) {
      env.addHardLink(folder + "-links\\" + std::to_string(i), folder + "\\windowsupdate.exe");
    }
    offline_test::FakeShortNames shortNames(c.shortForm);
    std::string path = "C:\\CONTRACT\\" + folder + "\\windowsupdate.exe";
    platform::ScopedFile file(files().openForRemoval(path.c_str()));
    ASSERT_TRUE(file.valid());
    platform::FileIdentity identity;
    ASSERT_TRUE(files().identify(file.get(), identity));
    EXPECT_EQ(identity.links, c.names);
    EXPECT_EQ(shortNames.asked() > 0, c.asked);
    if (c.names == 1) {
      EXPECT_TRUE(files().deleteOpenFile(file.get()));
      EXPECT_FALSE(fs::exists(env.inContract(folder + "/windowsupdate.exe")));
    }
  }
}

// Were the short form still there after the long name went, the file could still be started by
// it: that is no removal.
TEST_F(OfflineFileSystemTest, AShortFormThatOutlivesItsLongNameIsNoRemoval) {
  env.addFile("s\\windowsupdate.exe", "MZ worm");
  env.addHardLink("s\\WINDOW~1.EXE", "s\\windowsupdate.exe");
  offline_test::FakeShortNames shortNames("WINDOW~1.EXE");
  platform::ScopedFile file(files().openForRemoval(R"(C:\CONTRACT\s\windowsupdate.exe)"));
  ASSERT_TRUE(file.valid());
  platform::FileIdentity identity;
  ASSERT_TRUE(files().identify(file.get(), identity));
  EXPECT_EQ(identity.links, 1u);
  EXPECT_FALSE(files().deleteOpenFile(file.get()));
  EXPECT_TRUE(fs::exists(env.inContract("s/WINDOW~1.EXE")));
}

// No file system but ntfs-3g answers the question.
TEST(ShortNameTest, AFileSystemWithoutShortNamesHasNone) {
  char path[] = "/tmp/vandrel-short-name-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  char shortName[platform::offline::kShortNameCapacity] = "left over";
  EXPECT_FALSE(platform::offline::readNtfsShortName(fd, shortName));
  EXPECT_STREQ(shortName, "");
  EXPECT_EQ(platform::offline::namesOf(fd, 2, "windowsupdate.exe", shortName), 2u);
  close(fd);
  unlink(path);
}

// The walk lists each folder twice, for its files and then for its subfolders: a folder read
// whole is served again from memory, unless something was removed since.
TEST_F(OfflineFileSystemTest, AFolderReadWholeIsListedAgainFromMemoryUntilARemoval) {
  env.addFile("f\\worm.exe", "MZ worm");
  env.addFile("f\\keep.txt", "text");
  EXPECT_EQ(list(R"(C:\CONTRACT\f\*.*)"), (std::vector<std::string>{"keep.txt", "worm.exe"}));
  env.addFile("f\\later.txt", "text");
  EXPECT_EQ(list(R"(C:\CONTRACT\f\*)"), (std::vector<std::string>{"keep.txt", "worm.exe"}));

  platform::ScopedFile file(files().openForRemoval(R"(C:\CONTRACT\f\worm.exe)"));
  ASSERT_TRUE(file.valid());
  EXPECT_TRUE(files().deleteOpenFile(file.get()));
  EXPECT_EQ(list(R"(C:\CONTRACT\f\*.*)"), (std::vector<std::string>{"keep.txt", "later.txt"}));
}

// A file opened for removal while its folder is being listed keeps the listing's descriptor of
// the folder: it is removed from the folder it was found in, wherever that is by then.
TEST_F(OfflineFileSystemTest, AFileOpenedDuringAListingIsRemovedFromTheFolderItWasFoundIn) {
  env.addFile("g\\worm.exe", "MZ worm");
  platform::FindEntry entry;
  platform::ScopedSearch search(files().findFirst(R"(C:\CONTRACT\g\*.*)", entry));
  ASSERT_TRUE(search.valid());
  platform::ScopedFile file(files().openForRemoval(R"(C:\CONTRACT\g\worm.exe)"));
  ASSERT_TRUE(file.valid());
  search.reset();
  env.renameFolder("g", "moved");
  env.addFile("g\\worm.exe", "another file");

  EXPECT_TRUE(files().deleteOpenFile(file.get()));
  EXPECT_FALSE(fs::exists(env.inContract("moved/worm.exe")));
  EXPECT_TRUE(fs::exists(env.inContract("g/worm.exe")));
}

// Windows limits names and paths in UTF-16 units; the mount shows them as UTF-8.
TEST(Utf16LengthTest, CountsTheUnitsWindowsCounts) {
  struct Case {
    const char* text;
    std::size_t units;
  } cases[] = {
      {"", 0},
      {"C:\\WINDOWS\\msblast.exe", 22},
      {"\xC3\xA9t\xC3\xA9", 3},         // two bytes a character
      {"\xE6\x96\x87\xE4\xBB\xB6", 2},  // three bytes a character
      {"\xF0\x9F\x98\x80", 2},          // beyond the Basic Multilingual Plane: a pair
      {"a\xFF"
       "b",
       3},                      // a byte that begins nothing
      {"\xE6\x96", 2},          // a sequence cut short
      {"\xC0\xAF", 2},          // an overlong '/'
      {"\xED\xA0\x80", 3},      // a surrogate written out
      {"\xF4\x90\x80\x80", 4},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::offline::utf16Length(c.text), c.units) << c.text;
  }
}

// A name of many bytes but few units is listed whole and reached: the path is measured as
// Windows measures it.
TEST_F(OfflineFileSystemTest, ALongNameOfFewUnitsIsListedWholeAndOpened) {
  std::string name;
  for (int i = 0; i < 85; ++i) name += "\xE6\x96\x87";  // 255 bytes, 85 units
  name.replace(name.size() - 3, 3, ".ex");
  env.addFile("n\\" + name, "MZ worm");
  EXPECT_EQ(list(R"(C:\CONTRACT\n\*.*)"), std::vector<std::string>{name});
  std::string path = "C:\\CONTRACT\\n\\" + name;
  EXPECT_TRUE(opensForReading(path.c_str()));
  EXPECT_EQ(files().pathLength(path.c_str()), 14u + 85u - 1u + 3u);
}

TEST(NameMaskTest, MatchesAsTheSystemsDirectorySearchDoes) {
  struct Case {
    const char* mask;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.*", "noextension", true},         {"*", ".hidden", true},
      {"plain.*", "plain", true},           {"plain.*", "PLAIN.TXT", true},
      {"plain.*", "plainer", false},        {"msbl?st.exe", "MSBLAST.EXE", true},
      {"msbl?st.exe", "msblst.exe", false}, {"*ast.e*", "msblast.exe", true},
      {"*.exe", "msblast.exe.txt", false},  {"a*b*c", "aXbYbZc", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::offline::matchesMask(c.mask, c.name), c.matches) << c.mask << " " << c.name;
  }
  // A long hostile name costs at most its length squared, never an exponential search.
  std::string name(255, 'a');
  EXPECT_FALSE(platform::offline::matchesMask("*a*a*a*a*a*a*a*a*a*a*b", name.c_str()));
}

}  // namespace
