#include <gtest/gtest.h>

#include "scan/scan_log.h"
#include "sim_fixture.h"

namespace {

class ScanLogTest : public SimTest {};

TEST_F(ScanLogTest, ALongLogIsEmptiedBeforeTheLineAfterTheHundredAndFiftieth) {
  for (int i = 1; i <= 150; ++i) appendLogLine("line %d", i);
  EXPECT_EQ(log.lines.size(), 150u);

  appendLogLine("line 151");
  EXPECT_EQ(log.lines, std::vector<std::string>{"line 151"});
}

TEST_F(ScanLogTest, OnceTheStatisticsBeginNothingIsDropped) {
  for (int i = 1; i <= 160; ++i) appendLogLine("line %d", i);
  scanSession().logFinal = 1;
  for (int i = 0; i < 200; ++i) appendLogLine("statistics %d", i);
  EXPECT_EQ(log.lines.size(), 210u);
  EXPECT_EQ(log.lines.back(), "statistics 199");
}

TEST_F(ScanLogTest, TheNewestLineIsSelectedFromTheThirdLineOn) {
  appendLogLine("one");
  EXPECT_EQ(log.selected, -1);
  appendLogLine("two");
  EXPECT_EQ(log.selected, -1);
  appendLogLine("three");
  EXPECT_EQ(log.selected, 2);
}

TEST_F(ScanLogTest, ALineTooLongForTheBufferIsCutNotOverrun) {
  std::string huge(2000, 'x');
  appendLogLine("%s     %s deleted", huge.c_str(), "W32/Blaster.Worm");
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].size(), platform::kMaxLogLine - 1);
}

TEST_F(ScanLogTest, StatusAndLogGoNowhereWithoutAScanningWindow) {
  scanSession().scanDialogWindow = 0;
  appendLogLine("lost");
  showStatus("also lost");
  EXPECT_TRUE(written.empty());
  EXPECT_TRUE(statuses.empty());
  EXPECT_STREQ(scanSession().statusText, "also lost");
}

TEST_F(ScanLogTest, AFindingRecordsItsNameAndObjectWithoutShowingThem) {
  setCurrentFinding("W32/Blaster.C.Worm", "System Memory");
  EXPECT_STREQ(scanSession().currentVirusName, "W32/Blaster.C.Worm");
  EXPECT_STREQ(scanSession().statusText, "System Memory");
  EXPECT_EQ(scanSession().remedyCode, 100);
  EXPECT_TRUE(statuses.empty());
}

}  // namespace
