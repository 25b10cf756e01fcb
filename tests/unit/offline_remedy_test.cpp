// The file remedy over a mounted installation, where nothing runs: the platform class is unknown,
// so every step acts through the file's own handle; no file is ever in use, and a removal that
// fails is reported, never left for a restart.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/blaster_check.h"
#include "engine/file_remedy.h"
#include "engine/worm_file.h"
#include "offline/installation_tree.h"
#include "platform/offline/offline_file_system.h"
#include "platform/offline/offline_processes.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"
#include "system/process_backends.h"

namespace {

namespace fs = std::filesystem;
using offline_test::InstallationTree;
using offline_test::Layout;
using platform::offline::OfflineFileSystem;
using platform::offline::OfflineProcesses;

const char kWorm[] = R"(C:\WINDOWS\system32\msblast.exe)";

class OfflineRemedyTest : public SimTest {
 protected:
  OfflineRemedyTest() {
    tree.addFile(R"(WINDOWS\system32\msblast.exe)",
                 specimens::build(1, specimens::Variant::Plain)->bytes);
    EXPECT_TRUE(rooted.open(tree.root().c_str()));
    installation = platform::offline::findInstallation(rooted);
    scanSession().inMemoryScan = 0;
  }
  std::string host(const char* relative) const { return tree.host(relative); }

  InstallationTree tree{Layout::kXp, {}};
  platform::offline::RootedTree rooted;
  platform::offline::Installation installation;
  OfflineFileSystem files{rooted, installation};
  OfflineProcesses processes{sim.registry, installation.kind};
  platform::ScopedInstall offline{withOffline()};

 private:
  platform::Os withOffline() {
    platform::Os os = platform::installed();
    os.files = &files;
    os.processes = &processes;
    return os;
  }
};

TEST_F(OfflineRemedyTest, NothingRunsOfflineSoAFileOpenElsewhereIsNoFileInUse) {
  EXPECT_EQ(getPlatformClass(), kPlatformUnknown);
  // Another reader has the file open: Linux knows no sharing modes, and no program runs it.
  std::ifstream reader(host(R"(WINDOWS\system32\msblast.exe)"), std::ios::binary);
  ASSERT_TRUE(reader.is_open());

  EXPECT_EQ(checkBlasterFile("W32/Blaster.Worm", kWorm), 1);

  EXPECT_EQ(written,
            std::vector<std::string>{std::string(kWorm) + "     W32/Blaster.Worm deleted"});
  EXPECT_FALSE(fs::exists(host(R"(WINDOWS\system32\msblast.exe)")));
  EXPECT_EQ(scanSession().restartRequired, 0);
  EXPECT_EQ(files.openHandleCount(), 0u);
}

TEST_F(OfflineRemedyTest, ARemovalThatFailsSaysDeleteFailedAndLeavesNothingForARestart) {
  WormFile file;
  ASSERT_TRUE(file.examine(kWorm));
  ASSERT_TRUE(file.removable());
  // Between the check and the removal the name comes to lead elsewhere: the unlink is refused.
  fs::rename(host(R"(WINDOWS\system32\msblast.exe)"), host(R"(WINDOWS\system32\kept.exe)"));
  std::ofstream(host(R"(WINDOWS\system32\msblast.exe)")) << "someone else's file";

  deleteWormFile(file, "W32/Blaster.Worm");
  file.close();

  EXPECT_EQ(written,
            std::vector<std::string>{std::string(kWorm) + "     W32/Blaster.Worm Delete failed"});
  EXPECT_EQ(tree.fileBytes(R"(WINDOWS\system32\msblast.exe)"), "someone else's file");
  EXPECT_TRUE(fs::exists(host(R"(WINDOWS\system32\kept.exe)")));
  EXPECT_EQ(scanSession().restartRequired, 0);
  EXPECT_EQ(scanSession().statistics.filesDeleted, 0);
  EXPECT_EQ(files.openHandleCount(), 0u);
}

}  // namespace
