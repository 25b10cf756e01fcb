#include <gtest/gtest.h>

#include <string>

#include "engine/blaster_check.h"
#include "platform/registry.h"
#include "scan/directory_walker.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"

namespace {

using specimens::Specimen;
using specimens::Variant;

constexpr char kRunKey[] = R"(Software\Microsoft\Windows\CurrentVersion\Run)";

class BlasterCheckTest : public SimTest {
 protected:
  std::string place(const Specimen& specimen) {
    std::string path = R"(C:\WINDOWS\TEMP\)" + specimen.name;
    sim.files.addFile(path, specimen.bytes);
    return path;
  }
  int check(const std::string& path) { return checkBlasterFile("W32/Blaster.Worm", path.c_str()); }
  void plantStartupValue() {
    sim.registry.setString(platform::kRootLocalMachine, kRunKey, "windows auto update",
                           "msblast.exe");
  }
  const ScanStatistics& statistics() { return scanSession().statistics; }
};

TEST_F(BlasterCheckTest, InTheMemoryScanAnIdentifiedImageIsCountedConfirmedAndLeftInPlace) {
  std::string path = place(*specimens::build(8, Variant::Plain));
  scanSession().inMemoryScan = 1;

  EXPECT_EQ(check(path), 1);
  EXPECT_EQ(statistics().filesInfected, 1);
  EXPECT_EQ(scanSession().wormFileConfirmed, 1);
  EXPECT_STREQ(scanSession().currentVirusName, "W32/Blaster.B.Worm");
  EXPECT_EQ(scanSession().statusText, path);
  EXPECT_EQ(scanSession().remedyCode, 0);
  EXPECT_TRUE(sim.files.hasFile(path));
  // The finding is recorded, not shown: no status message and no log line.
  EXPECT_TRUE(statuses.empty());
  EXPECT_TRUE(written.empty());
}

TEST_F(BlasterCheckTest, TheReportedNameIsThatOfTheFirstRecordInTableOrder) {
  scanSession().inMemoryScan = 1;
  // Records 2 and 8: record 2 comes first and is reported under the family name.
  EXPECT_EQ(check(place(specimens::carrying({2, 8}, 12800))), 1);
  EXPECT_STREQ(scanSession().currentVirusName, "W32/Blaster.Worm");
  EXPECT_EQ(statistics().filesInfected, 1);
}

TEST_F(BlasterCheckTest, DuringTheFileScanAnIdentifiedFileIsCleanedOnceAndDeletedOnce) {
  plantStartupValue();
  std::string path = place(specimens::carrying({2, 8}, 12800));
  scanSession().inMemoryScan = 0;
  EXPECT_EQ(check(path), 1);
  EXPECT_EQ(statistics().filesInfected, 1);
  EXPECT_EQ(statistics().filesDeleted, 1);
  EXPECT_EQ(scanSession().wormFileConfirmed, 0);
  EXPECT_FALSE(sim.files.hasFile(path));
  EXPECT_FALSE(sim.registry.hasValue(platform::kRootLocalMachine, kRunKey, "windows auto update"));
  EXPECT_EQ(written, (std::vector<std::string>{"System Registry     W32/Blaster.Worm removed",
                                               path + "     W32/Blaster.Worm deleted"}));
}

TEST_F(BlasterCheckTest, InTheMemoryScanTheRegistryIsCleanedButTheFileKept) {
  plantStartupValue();
  std::string path = place(*specimens::build(6, Variant::Plain));
  scanSession().inMemoryScan = 1;
  EXPECT_EQ(check(path), 1);
  EXPECT_TRUE(sim.files.hasFile(path));
  EXPECT_EQ(written, std::vector<std::string>{"System Registry     W32/Blaster.D.Worm removed"});
}

TEST_F(BlasterCheckTest, NearMissesAndMalformedFilesAreRejectedWithoutATrace) {
  scanSession().inMemoryScan = 0;
  std::vector<Specimen> rejected = specimens::malformedFiles();
  for (int number = 1; number <= 10; ++number) {
    for (Specimen& miss : specimens::nearMisses(number)) rejected.push_back(std::move(miss));
  }
  ASSERT_GT(rejected.size(), 40u);
  for (const Specimen& specimen : rejected) EXPECT_EQ(check(place(specimen)), 0) << specimen.name;
  EXPECT_EQ(statistics().filesInfected, 0);
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(statuses.empty());
  EXPECT_STREQ(scanSession().currentVirusName, "");
}

TEST_F(BlasterCheckTest, AFileThatCannotBeReadIsSkippedSilently) {
  scanSession().inMemoryScan = 0;
  for (sim::FileFault fault :
       {sim::FileFault::Open, sim::FileFault::Length, sim::FileFault::Read}) {
    Specimen specimen = *specimens::build(2, Variant::Plain);
    specimen.name = "locked" + std::to_string(static_cast<int>(fault)) + ".exe";
    std::string path = place(specimen);
    sim.files.inject(fault, path);
    EXPECT_EQ(check(path), 0) << path;
  }
  EXPECT_EQ(statistics().filesInfected, 0);
  EXPECT_TRUE(written.empty());
}

TEST_F(BlasterCheckTest, TheMemoryRemovalWalkRemovesTheImageWithoutCountingIt) {
  std::string path = place(*specimens::build(2, Variant::Plain));
  scanSession().inMemoryScan = 1;
  scanSession().memoryRemedyCode = kRemedyDelete;

  // On the 95/98/Me family the image is removed by its path without a look at it; on NT it is
  // identified once more, through the handle that removes it, but not counted again.
  sim.processes.setWindows98();
  EXPECT_EQ(check(path), 0);
  EXPECT_EQ(sim.files.bytesRead(), 0u);
  EXPECT_FALSE(sim.files.hasFile(path));
  path = place(*specimens::build(2, Variant::Plain));
  sim.processes.setWindowsNt(5);
  written.clear();
  EXPECT_EQ(check(path), 0);
  EXPECT_GT(sim.files.bytesRead(), 0u);
  EXPECT_EQ(statistics().filesInfected, 0);
  EXPECT_FALSE(sim.files.hasFile(path));
  EXPECT_EQ(written, (std::vector<std::string>{"System Memory    W32/Blaster.Worm removed",
                                               path + "     W32/Blaster.Worm deleted"}));

  // Without a scanning window there is no removal walk: the file is examined as usual.
  path = place(*specimens::build(2, Variant::Plain));
  scanSession().scanDialogWindow = 0;
  EXPECT_EQ(check(path), 1);
  EXPECT_EQ(statistics().filesInfected, 1);
}

TEST_F(BlasterCheckTest, TheWalkerCountsEveryIdentifiedSpecimen) {
  scanSession().inMemoryScan = 0;
  int expected = 0;
  std::vector<Specimen> everything = specimens::all();
  for (const Specimen& specimen : everything) {
    place(specimen);
    if (specimen.expectedRecord != 0) ++expected;
  }
  walkDirectory(R"(C:\WINDOWS\*.*)");
  EXPECT_EQ(statistics().filesScanned, static_cast<int>(everything.size()));
  EXPECT_EQ(statistics().filesInfected, expected);
}

}  // namespace
