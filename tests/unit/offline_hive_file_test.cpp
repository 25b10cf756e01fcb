// Hives opened from a mounted installation and written back: what may not be used is left as it
// was, and a commit either replaces the hive whole or leaves it as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "offline/empty_hive.h"
#include "offline/hive_builder.h"
#include "offline/installation_tree.h"
#include "platform/offline/hive_file.h"

namespace {

using offline_test::InstallationTree;
using offline_test::Layout;
using platform::offline::CommitOptions;
using platform::offline::CommitResult;
using platform::offline::CommitStep;
using platform::offline::HiveFault;
using platform::offline::HiveFile;
using platform::offline::RootedTree;
using platform::offline::TreeError;
using platform::offline::ValueRemoval;

const char kRun[] = R"(Microsoft\Windows\CurrentVersion\Run)";

class HiveFileTest : public ::testing::Test {
 protected:
  HiveFileTest() : tree(Layout::kXp, {}) {
    EXPECT_TRUE(rooted.open(tree.root().c_str()));
    tree.editHive(tree.softwareHive(), [](hive_h* hive) {
      offline_test::setString(hive, kRun, "windows auto update", "msblast.exe");
      offline_test::setString(hive, kRun, "Microsoft Inet Xp..", "teekids.exe");
    });
    original = tree.fileBytes(tree.softwareHive());
  }

  std::unique_ptr<HiveFile> open(const char* name, HiveFile::OpenError* error = nullptr) {
    HiveFile::OpenError ignored;
    return HiveFile::open(rooted, tree.configFolder(), name, error != nullptr ? *error : ignored);
  }
  // Opens SOFTWARE and removes the worm's value through its editor.
  std::unique_ptr<HiveFile> changedSoftware() {
    std::unique_ptr<HiveFile> hive = open("software");
    EXPECT_TRUE(hive);
    if (!hive) return hive;
    EXPECT_EQ(hive->removeValue(runPath(), "windows auto update"), ValueRemoval::kRemoved);
    EXPECT_TRUE(hive->changed());
    return hive;
  }
  static std::vector<std::string> runPath() {
    return {"Microsoft", "Windows", "CurrentVersion", "Run"};
  }
  std::vector<std::string> configFiles() const { return tree.folderNames(tree.configFolder()); }

  InstallationTree tree;
  RootedTree rooted;
  std::string original;
};

TEST_F(HiveFileTest, AHiveThatMustNotBeUsedIsReportedAndLeftAsItWas) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
    HiveFault fault;
  };
  const std::vector<Case> cases = {
      // hivex reads a hive cut at a bin boundary as whole; the header says otherwise.
      {"cut at a bin", [](std::string& h) { h.resize(h.size() - 4096); }, HiveFault::kCutShort},
      {"cut mid-bin", [](std::string& h) { h.resize(h.size() - 1000); }, HiveFault::kCutShort},
      {"cut in its header", [](std::string& h) { h.resize(600); }, HiveFault::kCutShort},
      {"left dirty",
       [](std::string& h) {
         h[4] = static_cast<char>(h[4] + 1);
         offline_test::resealBaseBlock(h);
       },
       HiveFault::kDirty},
      {"bad checksum", [](std::string& h) { h[508] = static_cast<char>(h[508] ^ 1); },
       HiveFault::kBadChecksum},
      {"a 95/98 registry", [](std::string& h) { h.replace(0, 4, "CREG"); }, HiveFault::kNotAHive},
  };
  for (const Case& c : cases) {
    std::string bytes = original;
    c.spoil(bytes);
    tree.addFile(tree.softwareHive(), bytes);
    HiveFile::OpenError error;
    EXPECT_FALSE(open("SOFTWARE", &error)) << c.what;
    EXPECT_EQ(error.fault, c.fault) << c.what;
    EXPECT_EQ(tree.fileBytes(tree.softwareHive()), bytes) << c.what;
  }

  // Sound by its header, but hivex cannot read its root.
  std::string garbled = offline_test::emptyHive();
  garbled.replace(4096 + 32 + 4, 2, "xx");
  tree.addFile(tree.softwareHive(), garbled);
  HiveFile::OpenError error;
  EXPECT_FALSE(open("SOFTWARE", &error));
  EXPECT_EQ(error.fault, HiveFault::kNone);
  EXPECT_NE(error.systemError, 0);

  std::filesystem::remove(tree.host(tree.softwareHive()));
  std::filesystem::create_symlink(tree.host(tree.systemHive()), tree.host(tree.softwareHive()));
  EXPECT_FALSE(open("SOFTWARE", &error));
  EXPECT_EQ(error.tree, TreeError::kLink);
}

TEST_F(HiveFileTest, ACommitReplacesTheHiveAndKeepsTheOriginalUnderAnUnusedName) {
  std::vector<std::string> before = configFiles();
  // A backup of an earlier run the same day is kept as it is.
  tree.addFile(tree.configFolder() + R"(\SOFTWARE.vandrel-20240102)", "earlier");
  ASSERT_EQ(chmod(tree.host(tree.softwareHive()).c_str(), 0640), 0);
  std::unique_ptr<HiveFile> hive = changedSoftware();
  ASSERT_TRUE(hive);
  EXPECT_EQ(hive->path(), R"(WINDOWS\system32\config\SOFTWARE)");

  CommitOptions options;
  options.date = "20240102";
  CommitResult result = hive->commit(options);
  ASSERT_TRUE(result.committed()) << platform::offline::describe(result.step);
  EXPECT_EQ(result.backupName, "SOFTWARE.vandrel-20240102-2");
  EXPECT_TRUE(result.attributesCarried);
  struct stat replaced;
  ASSERT_EQ(stat(tree.host(tree.softwareHive()).c_str(), &replaced), 0);
  EXPECT_EQ(replaced.st_mode & 07777, 0640u);
  EXPECT_FALSE(hive->changed());
  EXPECT_EQ(tree.fileBytes(tree.configFolder() + R"(\SOFTWARE.vandrel-20240102)"), "earlier");
  EXPECT_EQ(tree.fileBytes(tree.configFolder() + "\\" + result.backupName), original);

  before.push_back("SOFTWARE.vandrel-20240102");
  before.push_back(result.backupName);
  std::sort(before.begin(), before.end());
  EXPECT_EQ(configFiles(), before) << "no temporary file is left";
  EXPECT_TRUE(tree.lookInHive(tree.softwareHive(), [](hive_h* h) {
    EXPECT_FALSE(offline_test::hasValue(h, kRun, "windows auto update"));
    EXPECT_TRUE(offline_test::hasKey(h, kRun));
  }));

  // The hive stays open after its commit, and a second commit follows the first.
  EXPECT_EQ(hive->removeValue(runPath(), "Microsoft Inet Xp.."), ValueRemoval::kRemoved);
  options.keepBackup = false;
  ASSERT_TRUE(hive->commit(options).committed());
  EXPECT_EQ(configFiles(), before);
  EXPECT_TRUE(tree.lookInHive(tree.softwareHive(), [](hive_h* h) {
    EXPECT_FALSE(offline_test::hasValue(h, kRun, "Microsoft Inet Xp.."));
    EXPECT_TRUE(offline_test::hasKey(h, kRun));
  }));
}

// Writes half of the hive, then fails, as a full disk would.
bool writeHalfThenFail(int source, int fd) {
  if (!platform::offline::copyHive(source, fd)) return false;
  off_t length = lseek(fd, 0, SEEK_END);
  EXPECT_EQ(ftruncate(fd, length / 2), 0);
  errno = ENOSPC;
  return false;
}

// Succeeds without writing a hive.
bool writeNonsense(int, int fd) { return write(fd, "nonsense", 8) == 8; }

TEST_F(HiveFileTest, AWriteThatFailsOnTheWayLeavesTheOriginalAndNoOtherFile) {
  std::vector<std::string> before = configFiles();
  struct Case {
    const char* what;
    platform::offline::HiveWriter writer;
    CommitStep step;
  };
  for (const Case& c : {Case{"half written", writeHalfThenFail, CommitStep::kWrite},
                        Case{"not a hive", writeNonsense, CommitStep::kVerify}}) {
    std::unique_ptr<HiveFile> hive = changedSoftware();
    ASSERT_TRUE(hive);
    CommitOptions options;
    options.writer = c.writer;
    CommitResult result = hive->commit(options);
    EXPECT_EQ(result.step, c.step) << c.what;
    EXPECT_TRUE(hive->changed()) << c.what;
    EXPECT_EQ(tree.fileBytes(tree.softwareHive()), original) << c.what;
    EXPECT_EQ(configFiles(), before) << c.what;
  }
}

// Copies the hive under a file size limit that stops the copy part of the way through.
bool copyUnderASizeLimit(int source, int fd) {
  struct rlimit saved;
  if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return false;
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  struct rlimit limit = saved;
  limit.rlim_cur = 4096 + 100;
  setrlimit(RLIMIT_FSIZE, &limit);
  bool copied = platform::offline::copyHive(source, fd);
  int error = errno;
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);
  errno = error;
  return copied;
}

TEST_F(HiveFileTest, RunningOutOfRoomMidWriteLeavesTheOriginal) {
  std::vector<std::string> before = configFiles();
  std::unique_ptr<HiveFile> hive = changedSoftware();
  ASSERT_TRUE(hive);
  CommitOptions options;
  options.writer = copyUnderASizeLimit;
  CommitResult result = hive->commit(options);

  EXPECT_EQ(result.step, CommitStep::kWrite);
  EXPECT_EQ(result.systemError, EFBIG);
  EXPECT_EQ(tree.fileBytes(tree.softwareHive()), original);
  EXPECT_EQ(configFiles(), before);
}

TEST_F(HiveFileTest, AHiveReplacedMeanwhileOrSpoiledInMemoryIsNotWritten) {
  std::vector<std::string> before = configFiles();
  std::unique_ptr<HiveFile> hive = changedSoftware();
  ASSERT_TRUE(hive);
  // Someone else puts another file in the hive's place after it was read.
  tree.addFile(tree.configFolder() + R"(\SOFTWARE.new)", "theirs");
  std::filesystem::rename(tree.host(tree.configFolder() + R"(\SOFTWARE.new)"),
                          tree.host(tree.softwareHive()));
  EXPECT_EQ(hive->commit(CommitOptions()).step, CommitStep::kReplaced);
  EXPECT_EQ(tree.fileBytes(tree.softwareHive()), "theirs");
  EXPECT_EQ(configFiles(), before);

  tree.addFile(tree.softwareHive(), original);
  hive = changedSoftware();
  ASSERT_TRUE(hive);
  CommitOptions options;
  options.date = "../../x";  // a date goes into a file name
  EXPECT_EQ(hive->commit(options).step, CommitStep::kBackup);
  EXPECT_EQ(configFiles(), before);
  hive->markSpoiled();
  EXPECT_EQ(hive->commit(CommitOptions()).step, CommitStep::kRefused);
  EXPECT_EQ(tree.fileBytes(tree.softwareHive()), original);
}

}  // namespace
