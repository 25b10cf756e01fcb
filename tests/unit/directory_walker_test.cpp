#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "scan/directory_walker.h"
#include "scan/path_display.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"

namespace {

using Strings = std::vector<std::string>;

class WalkerTest : public SimTest {
 protected:
  WalkerTest() { scanSession().inMemoryScan = 0; }
};

TEST_F(WalkerTest, ChecksEveryFileOfAFolderBeforeEnteringItsSubfolders) {
  sim.files.addFile(R"(C:\W\a.txt)");
  sim.files.addFile(R"(C:\W\SUB1\x.txt)");
  sim.files.addFile(R"(C:\W\SUB1\DEEP\y.txt)");
  sim.files.addFile(R"(C:\W\b.txt)");
  sim.files.addFile(R"(C:\W\SUB2\z.txt)");

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 5);

  EXPECT_EQ(statusesWithoutDots(),
            (Strings{R"(C:\W\a.txt)", R"(C:\W\SUB1)", R"(C:\W\b.txt)", R"(C:\W\SUB2)",
                     R"(C:\W\SUB1\x.txt)", R"(C:\W\SUB1\DEEP)", R"(C:\W\SUB1\DEEP\y.txt)",
                     R"(C:\W\SUB2\z.txt)"}))
      << sim.dump();
  // "." and ".." are shown, once per folder, and never entered.
  EXPECT_EQ(statuses.size() - statusesWithoutDots().size(), 8u);
  EXPECT_EQ(scanSession().statistics.filesScanned, 5);
}

TEST_F(WalkerTest, CountsRegularFilesOnlyAndNothingInMemoryScanMode) {
  sim.files.addFile(R"(C:\W\one.exe)");
  sim.files.addFolder(R"(C:\W\EMPTY)");
  sim.files.addFile(R"(C:\W\two)", "", platform::kAttributeHidden | platform::kAttributeSystem);

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 2);

  scanSession().inMemoryScan = 1;
  statuses.clear();
  EXPECT_EQ(examineFile(R"(C:\W\one.exe)"), 2);
  EXPECT_EQ(statuses, (Strings{R"(C:\W\one.exe)"}));
  EXPECT_EQ(scanSession().statistics.filesScanned, 2);
  // One file is examined as exactly that file: no pattern is searched, no folder entered.
  statuses.clear();
  EXPECT_EQ(examineFile(R"(C:\W\*.exe)"), 0);
  EXPECT_EQ(examineFile(R"(C:\W\EMPTY)"), 2);
  EXPECT_EQ(statuses, (Strings{R"(C:\W\EMPTY)"}));
}

TEST_F(WalkerTest, DoesNotEnterJunctionsOrSymbolicLinks) {
  sim.files.addFile(R"(C:\W\LINK\inside.txt)");
  sim.files.addFolder(R"(C:\W\LINK)", platform::kAttributeReparsePoint);

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 0);
  EXPECT_EQ(statusesWithoutDots(), (Strings{R"(C:\W\LINK)"}));
}

// A path that does not fit a path buffer is never cut (a cut path could name another file): it
// is reached by its short form, as the system starts such a file, and shown and examined by it.
TEST_F(WalkerTest, APathThatDoesNotFitIsReachedByItsShortPath) {
  std::string folder = R"(C:\W\)" + std::string(240, 'd');      // short name DDDDDD~1
  std::string fits = folder + R"(\f.txt)";                      // 252 characters
  std::string longName = folder + "\\" + std::string(20, 'n');  // 266 characters
  std::string shortName = folder + R"(\worm with a long name.exe)";
  sim.files.addFile(fits);
  sim.files.addFile(longName);
  sim.files.addFile(shortName, specimens::build(2, specimens::Variant::Plain)->bytes);
  sim.files.setShortName(shortName, "WORMWI~1.EXE");
  sim.files.addFile(folder + "\\" + std::string(20, 's') + R"(\deeper.txt)");

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 4) << sim.dump();
  // Its own short name first, in the folder as the walk names it; else the folder's short path.
  Strings shown = statusesWithoutDots();
  auto isShown = [&shown](const std::string& path) {
    std::string expected = path;
    if (expected.size() > 60)
      expected = expected.substr(0, 29) + ".." + expected.substr(expected.size() - 29);
    return std::find(shown.begin(), shown.end(), expected) != shown.end();
  };
  EXPECT_TRUE(isShown(folder + R"(\WORMWI~1.EXE)"));
  EXPECT_TRUE(isShown(folder + R"(\NNNNNN~1)"));
  EXPECT_TRUE(isShown(R"(C:\W\DDDDDD~1\SSSSSS~1\deeper.txt)"));
  EXPECT_EQ(scanSession().statistics.notExamined, 0) << ::testing::PrintToString(shown);
  // The worm among them is removed through the path that reached it, and its line names that.
  EXPECT_EQ(written, Strings{folder + R"(\WORMWI~1.EXE     W32/Blaster.Worm deleted)"});
  EXPECT_FALSE(sim.files.hasFile(shortName));
}

// Without short names (the system can be told to make none), such a path has no form that fits:
// it is named as not examined, never cut.
TEST_F(WalkerTest, APathWithoutAShortFormIsNamedAndSkippedRatherThanCut) {
  std::string folder = R"(C:\W\)" + std::string(240, 'd');
  std::string tooLong = folder + "\\" + std::string(20, 'n');
  sim.files.addFile(folder + R"(\f.txt)");
  sim.files.addFile(tooLong);
  sim.files.addFile(folder + "\\" + std::string(20, 's') + R"(\hidden.txt)");
  for (const std::string& path : {folder, tooLong, folder + "\\" + std::string(20, 's')}) {
    sim.files.inject(sim::FileFault::ShortName, path);
  }

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 1) << sim.dump();
  for (const std::string& status : statuses) EXPECT_EQ(status.find("hidden"), std::string::npos);
  EXPECT_EQ(scanSession().statistics.notExamined, 2);
}

TEST_F(WalkerTest, APatternWithoutADotCannotBeSplit) {
  sim.files.addFile(R"(C:\W\a.txt)");
  EXPECT_EQ(walkDirectory(R"(C:\W\*)"), kWalkPatternError);
}

TEST_F(WalkerTest, AFolderThatCannotBeListedIsAnEmptyWalk) {
  sim.files.addFile(R"(C:\W\a.txt)");
  sim.files.inject(sim::FileFault::List, R"(C:\W)");
  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 0);
  EXPECT_EQ(walkDirectory(R"(C:\NOWHERE\*.*)"), 0);
  EXPECT_TRUE(statuses.empty());
}

TEST_F(WalkerTest, NotesTheProgramFilesFolderOfADriveRoot) {
  sim.files.addFile(R"(C:\Program Files\App\app.exe)");

  walkDirectory(R"(C:\*.*)");

  EXPECT_EQ(scanSession().programFilesPending, 1);
  EXPECT_STREQ(scanSession().programFilesPath, R"(C:\Program Files\*.*)");
  EXPECT_EQ(scanSession().programFilesWalked, 1);
}

TEST_F(WalkerTest, ADriveRootWithoutProgramFilesLeavesNothingPending) {
  sim.files.addFile(R"(D:\data.txt)");
  walkDirectory(R"(D:\*.*)");
  EXPECT_EQ(scanSession().programFilesPending, 0);
  EXPECT_EQ(scanSession().programFilesWalked, 0);
}

TEST_F(WalkerTest, AnyProgramFilesFolderDeeperInTheTreeCountsAsWalked) {
  sim.files.addFile(R"(C:\W\Program Files\x.txt)");
  walkDirectory(R"(C:\W\*.*)");
  EXPECT_EQ(scanSession().programFilesWalked, 1);
  EXPECT_EQ(scanSession().programFilesPending, 0);
}

TEST(ShortenPathForDisplay, KeepsSixtyCharactersAndShortensSixtyOne) {
  char shown[512];
  std::string sixty(60, 'a');
  shortenPathForDisplay(sixty.c_str(), shown, sizeof shown, 60);
  EXPECT_EQ(std::string(shown), sixty);

  std::string sixtyOne = std::string(29, 'h') + "MIDDLE" + std::string(26, 't');
  ASSERT_EQ(sixtyOne.size(), 61u);
  shortenPathForDisplay(sixtyOne.c_str(), shown, sizeof shown, 60);
  EXPECT_EQ(std::string(shown), std::string(29, 'h') + ".." + sixtyOne.substr(32));
  EXPECT_EQ(std::string(shown).size(), 60u);

  // An odd length keeps the exact count: 2 * 29 characters and three dots.
  shortenPathForDisplay(sixtyOne.c_str(), shown, sizeof shown, 61);
  EXPECT_EQ(std::string(shown), sixtyOne);
  shortenPathForDisplay((sixtyOne + "x").c_str(), shown, sizeof shown, 61);
  EXPECT_EQ(std::string(shown).size(), 61u);
  EXPECT_EQ(std::string(shown).substr(29, 3), "...");
}

}  // namespace
