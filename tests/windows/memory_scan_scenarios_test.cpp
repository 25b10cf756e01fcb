// The whole console scan under Wine with the runnable worm specimen running before it starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui_driver/running_program.h"
#include "windows/windows_support.h"

namespace {

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The index of the first line ending in `ending`, or -1.
int lineEnding(const std::vector<std::string>& lines, const std::string& ending) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (endsWith(lines[i], ending)) return static_cast<int>(i);
  }
  return -1;
}

class MemoryScanScenario : public ::testing::TestWithParam<const char*> {
 protected:
  MemoryScanScenario() : image(scratch.path() + "\\msblast.exe") {}

  wintest::ScratchFolder scratch;
  std::string image;
};

// On NT the memory scan finds the worm, ends it and removes its image before the file walk.
TEST_P(MemoryScanScenario, OnNtTheRunningWormIsEndedAndRemovedBeforeTheFileWalk) {
  ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
  uidriver::RunningProgram worm(image);
  ASSERT_TRUE(worm.started());
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", GetParam()));

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");
  std::vector<std::string> lines = wintest::splitLines(run.output);

  EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
  EXPECT_TRUE(worm.waitForExit(wintest::kProcessEndTimeoutMs));
  EXPECT_EQ(GetFileAttributesA(image.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_GE(lines.size(), 2u) << run.output;
  EXPECT_EQ(lines[0], "System Memory    W32/Blaster.Worm removed") << run.output;
  EXPECT_EQ(lines[1], image + "     W32/Blaster.Worm deleted") << run.output;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Total files infected\t\t:  1"), lines.end())
      << run.output;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Total files deleted\t\t:  1"), lines.end())
      << run.output;
}

INSTANTIATE_TEST_SUITE_P(Versions, MemoryScanScenario, ::testing::Values("win2k", "winxp", "win7"));

// Wine's ToolHelp names only the image's file name, so on 98 the memory scan cannot examine it;
// the file walk meets the running worm, ends it by name and deletes it.
TEST(MemoryScanScenarioOn98, TheFileWalkEndsAndDeletesTheRunningWorm) {
  wintest::ScratchFolder scratch;
  std::string image = scratch.path() + "\\msblast.exe";
  ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
  uidriver::RunningProgram worm(image);
  ASSERT_TRUE(worm.started());
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", "win98"));

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");
  std::vector<std::string> lines = wintest::splitLines(run.output);

  EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
  EXPECT_TRUE(worm.waitForExit(wintest::kProcessEndTimeoutMs));
  EXPECT_EQ(GetFileAttributesA(image.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(lineEnding(lines, "System Memory    W32/Blaster.Worm removed"), -1) << run.output;
  std::string folder = scratch.path().substr(scratch.path().find_last_of('\\'));
  EXPECT_GE(lineEnding(lines, folder + "\\msblast.exe     W32/Blaster.Worm deleted"), 0)
      << run.output;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Total files infected\t\t:  1"), lines.end())
      << run.output;
}

}  // namespace
