// Ending processes by file name on NT through the performance data of the simulated registry.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "sim_fixture.h"
#include "support/perf_data_block.h"
#include "system/process_backends.h"

namespace {

constexpr char kPerflib[] = R"(software\microsoft\windows nt\currentversion\perflib\009)";

// Every process the tests start runs one file, the one in hand; the performance data name them
// as each test says. Which of them are ended is then a matter of their names alone.
constexpr char kImage[] = R"(C:\WINDOWS\SYSTEM32\msblast.exe)";

class PerfDataTerminationTest : public SimTest {
 protected:
  PerfDataTerminationTest() {
    sim.processes.setWindowsNt(5);
    titles(perfdata::counterTitles());
    sim.files.addFile(kImage, "MZ worm");
    sim.files.identifyPath(kImage, image);
  }
  int terminate(const char* path) { return terminateByNamePerfData(path, image); }
  void titles(const std::string& counters) {
    sim.registry.setValue(platform::kRootLocalMachine, kPerflib, "Counters", platform::kRegMultiSz,
                          counters);
  }
  // Starts the processes and publishes them as the performance data name them.
  std::vector<platform::ProcessId> run(const std::vector<std::string>& names,
                                       perfdata::BlockBuilder builder = {},
                                       const std::string& imagePath = kImage) {
    std::vector<platform::ProcessId> ids;
    std::vector<perfdata::Instance> instances;
    for (const std::string& name : names) {
      ids.push_back(sim.processes.start(imagePath));
      instances.push_back({name, ids.back()});
    }
    std::vector<std::uint8_t> block = builder.build(instances);
    sim.registry.setValue(platform::kRootPerformanceData, "", "230", platform::kRegBinary,
                          std::string(block.begin(), block.end()));
    return ids;
  }

  platform::FileIdentity image;
};

TEST_F(PerfDataTerminationTest, EndsEveryInstanceOfTheProgramAndNothingElse) {
  std::vector<platform::ProcessId> ids =
      run({"explorer", "msblast", "MSBLAST#1", "msblastx", "msblast#", "msblast#2b", "e"});

  EXPECT_EQ(terminate(R"(C:\WINDOWS\SYSTEM32\msblast.exe)"), 1);

  EXPECT_EQ(sim.processes.terminated(), (std::vector<platform::ProcessId>{ids[1], ids[2]}))
      << sim.dump();
}

TEST_F(PerfDataTerminationTest, AShortNameDoesNotEndProgramsThatMerelyBeginWithIt) {
  std::vector<platform::ProcessId> ids = run({"explorer", "e"});
  EXPECT_EQ(terminate(R"(C:\TEMP\e.exe)"), 1);
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{ids[1]});

  // The extension is cut at the last dot; a name that is all extension matches nothing.
  run({"archive.tar"});
  EXPECT_EQ(terminate(R"(C:\TEMP\.exe)"), 0);
  EXPECT_EQ(terminate(R"(C:\TEMP\archive.tar.exe)"), 1);
  EXPECT_EQ(terminate("a.e"), 0);
}

TEST_F(PerfDataTerminationTest, AProgramThatClosesItsWindowIsNotKilled) {
  std::vector<platform::ProcessId> ids = run({"msblast"});
  sim.processes.process(ids[0]).windows = 2;
  sim.processes.process(ids[0]).closesOnRequest = true;

  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 1);

  EXPECT_FALSE(sim.processes.isRunning(ids[0]));
  EXPECT_TRUE(sim.processes.terminated().empty());
  EXPECT_EQ(sim.clock.now(), 500u);
}

TEST_F(PerfDataTerminationTest, AProgramThatStaysIsKilledAfterTwoSeconds) {
  std::vector<platform::ProcessId> ids = run({"msblast"});
  sim.processes.process(ids[0]).windows = 1;

  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 1);
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{ids[0]});
  EXPECT_EQ(sim.clock.now(), 2000u + 500u);

  std::vector<platform::ProcessId> guarded = run({"guarded"});
  sim.processes.process(guarded[0]).canTerminate = false;
  EXPECT_EQ(terminate(R"(C:\TEMP\guarded.exe)"), 0);
}

TEST_F(PerfDataTerminationTest, ReadsBlocksLargerThanItsFirstBuffer) {
  // Long names (which the table leaves empty) make the block outgrow 51200 + 25600 bytes.
  std::vector<std::string> names;
  for (int i = 0; i < 250; ++i) names.push_back(std::string(200, 'f') + std::to_string(i));
  names.push_back("msblast");
  std::vector<platform::ProcessId> ids = run(names);
  std::uint32_t size = 0;
  ASSERT_EQ(sim.registry.queryValue(platform::kRootPerformanceData, "230", nullptr, nullptr, &size),
            platform::kErrorSuccess);
  ASSERT_GT(size, 51200u + 25600u);

  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 1);
  EXPECT_EQ(sim.processes.terminated(), std::vector<platform::ProcessId>{ids.back()});
}

TEST_F(PerfDataTerminationTest, WithoutTrustworthyIdsNothingIsEnded) {
  perfdata::BlockBuilder withoutId;
  withoutId.withIdCounter = false;
  std::vector<platform::ProcessId> ids = run({"msblast"}, withoutId);
  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 0);

  run({"msblast"});
  titles(perfdata::counterTitles(true, false));
  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 0);
  EXPECT_TRUE(sim.processes.terminated().empty());
}

// A look-alike in the temporary folder named like the administrator's programs: the names match,
// the images are other files, so the programs are neither asked to close nor ended. The
// editor's "save changes?" question stays with the person who may answer it.
TEST_F(PerfDataTerminationTest, ProgramsThatOnlyShareTheFilesNameAreLeftAlone) {
  const char* explorer = R"(C:\WINDOWS\EXPLORER.EXE)";
  const char* editor = R"(C:\OFFICE\WINWORD.EXE)";
  sim.files.addFile(explorer, "MZ shell");
  sim.files.addFile(editor, "MZ editor");
  std::vector<platform::ProcessId> shell = run({"explorer"}, {}, explorer);
  std::vector<platform::ProcessId> words = run({"WINWORD"}, {}, editor);
  for (platform::ProcessId id : {shell[0], words[0]}) {
    sim.processes.process(id).windows = 1;
    sim.processes.process(id).closesOnRequest = true;
  }
  for (const char* lookAlike :
       {R"(C:\WINDOWS\TEMP\explorer.exe)", R"(C:\WINDOWS\TEMP\winword.dll)"}) {
    sim.files.addFile(lookAlike, "MZ look-alike");
    platform::FileIdentity held;
    ASSERT_TRUE(sim.files.identifyPath(lookAlike, held));
    EXPECT_EQ(terminateByNamePerfData(lookAlike, held), 0) << lookAlike;
  }
  EXPECT_TRUE(sim.processes.isRunning(shell[0]));
  EXPECT_TRUE(sim.processes.isRunning(words[0]));
  EXPECT_TRUE(sim.processes.terminated().empty());
}

// Anybody can start processes of any name: hundreds that share the held file's name, but run
// another file, are passed over without a pause each.
TEST_F(PerfDataTerminationTest, ProcessesThatOnlyShareTheNameCostNoTime) {
  const char* tool = R"(C:\TOOLS\tool.exe)";
  sim.files.addFile(tool, "MZ idle tool");
  run(std::vector<std::string>(250, "tool"), {}, tool);
  const char* held = R"(C:\WINDOWS\TEMP\tool.exe)";
  sim.files.addFile(held, "MZ look-alike");
  platform::FileIdentity identity;
  ASSERT_TRUE(sim.files.identifyPath(held, identity));

  EXPECT_EQ(terminateByNamePerfData(held, identity), 0);
  EXPECT_EQ(sim.clock.now(), 0u);
  EXPECT_TRUE(sim.processes.terminated().empty());
}

// A process can write any image path into its own memory; one on another machine is never
// opened to be compared, so the scan reaches no other machine with its rights.
TEST_F(PerfDataTerminationTest, AnImageOnAnotherMachineIsNeverLookedAt) {
  sim.files.setDriveType('Z', platform::kDriveRemote);
  std::vector<platform::ProcessId> ids = run({"msblast"}, {}, R"(\\server\share\msblast.exe)");
  run({"msblast"}, {}, R"(Z:\msblast.exe)");
  int before = sim.files.remoteLookups();
  EXPECT_EQ(terminate(R"(C:\TEMP\msblast.exe)"), 0);
  EXPECT_EQ(sim.files.remoteLookups(), before);
  EXPECT_TRUE(sim.processes.isRunning(ids[0]));
}

}  // namespace
