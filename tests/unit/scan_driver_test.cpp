#include <gtest/gtest.h>

#include <algorithm>

#include "scan/scan_driver.h"
#include "scan/not_examined.h"
#include "scan/scan_exit_status.h"
#include "sim_fixture.h"
#include "specimens/version_image.h"

namespace {

using Strings = std::vector<std::string>;

class ScanDriverTest : public SimTest {
 protected:
  ScanDriverTest() {
    sim.files.setWindowsDirectory(R"(C:\WINDOWS)");
    sim.files.setTempDirectory(R"(C:\TEMP\)");
    sim.files.addFile(R"(C:\WINDOWS\win.ini)");
    sim.files.addFile(R"(C:\WINDOWS\SYSTEM\kernel32.dll)");
    sim.files.addFile(R"(C:\WINDOWS\TEMP\nested.tmp)");
    sim.files.addFile(R"(C:\TEMP\one.tmp)");
    sim.files.addFile(R"(C:\TEMP\DEEP\two.tmp)");
    sim.files.addFile(R"(C:\elsewhere.txt)");
    sim.files.addFile(R"(C:\Program Files\App\app.exe)");
  }
  static Strings statistics(int scanned, int infected, int deleted) {
    return {"Scanning statistics\t\t:", "Total files scanned\t\t:  " + std::to_string(scanned),
            "Total files infected\t\t:  " + std::to_string(infected),
            "Total files deleted\t\t:  " + std::to_string(deleted)};
  }
};

TEST_F(ScanDriverTest, ACleanScanWalksTheWindowsAndTempTreesOnly) {
  EXPECT_EQ(runScan(), 1);

  EXPECT_EQ(written, statistics(5, 0, 0));
  EXPECT_EQ(statuses.back(), "Scanning completed");
  EXPECT_EQ(scanSession().logFinal, 1);
  EXPECT_EQ(scanSession().inMemoryScan, 0);
  for (const std::string& status : statuses) {
    EXPECT_EQ(status.find("elsewhere"), std::string::npos);
    EXPECT_EQ(status.find("Program Files"), std::string::npos);
  }
  // The temporary path keeps its own backslash, so its entries show a doubled one.
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), R"(C:\TEMP\\one.tmp)"), statuses.end());
  EXPECT_TRUE(sim.desktop.messageBoxes().empty());
}

TEST_F(ScanDriverTest, AFileInBothTreesCountsTwice) {
  sim.files.setTempDirectory(R"(C:\WINDOWS\TEMP\)");
  runScan();
  EXPECT_EQ(written[1], "Total files scanned\t\t:  4");
}

TEST_F(ScanDriverTest, InfectedFilesPutABlankLineBeforeTheStatistics) {
  scanSession().statistics.filesInfected = 1;
  runScan();
  Strings expected = {" "};
  for (const std::string& line : statistics(5, 1, 0)) expected.push_back(line);
  EXPECT_EQ(written, expected);
}

TEST_F(ScanDriverTest, ACancelledScanStillWritesItsStatistics) {
  sim.desktop.answerMessageBoxes({platform::kAnswerYes});
  onStatus = [this](const std::string& status) {
    if (status == R"(C:\WINDOWS\win.ini)") sim.desktop.post({0, platform::kMessageKeyDown, 27, 0});
  };

  runScan();

  EXPECT_EQ(written, statistics(1, 0, 0));
  EXPECT_EQ(statuses.back(), "Scanning terminated");
  for (const std::string& status : statuses) EXPECT_EQ(status.find("TEMP\\\\"), std::string::npos);
}

// Another program posts the scanning window the message that starts a scan while the walk pumps
// its messages: nothing starts inside the running scan.
TEST_F(ScanDriverTest, AMessageThatWouldStartAScanDuringTheScanStartsNothing) {
  int nestedResults = 0;
  platform::WindowHandle starter =
      sim.desktop.addWindow([&](std::uint32_t, std::uintptr_t, std::intptr_t) {
        nestedResults += runScan();
        return 0;
      });
  onStatus = [&](const std::string& status) {
    if (status == R"(C:\WINDOWS\win.ini)") sim.desktop.post({starter, 0x0113, 100, 0});
  };

  runScan();

  EXPECT_EQ(nestedResults, 1);
  EXPECT_EQ(written, statistics(5, 0, 0));
  EXPECT_EQ(scanSession().scanRunning, 0);
}

// Whatever in the scope the walk cannot examine is named with its reason and counted, and the
// console status never says "clean" then. A file another program holds is named and counted
// apart, and alone changes nothing.
TEST_F(ScanDriverTest, WhatCannotBeExaminedIsNamedCountedAndNeverCalledClean) {
  static std::vector<std::string> named;
  named.clear();
  watchNotExamined([](const char* object, const char* reason) {
    named.push_back(std::string(object) + ": " + reason);
  });
  sim.files.addFile(R"(C:\WINDOWS\pagefile.sys)");
  sim.files.inject(sim::FileFault::InUse, R"(C:\WINDOWS\pagefile.sys)");
  runScan();
  EXPECT_EQ(named, Strings{R"(C:\WINDOWS\pagefile.sys: held open by another program)"});
  EXPECT_EQ(scanSession().statistics.heldByOtherPrograms, 1);
  EXPECT_EQ(scanExitStatus(scanSession()), kExitClean);

  resetScanSessionForTest();
  scanSession().scanDialogWindow = window;
  watchNotExamined([](const char* object, const char* reason) {
    named.push_back(std::string(object) + ": " + reason);
  });
  named.clear();
  sim.files.addFile(R"(C:\WINDOWS\locked.exe)");
  sim.files.inject(sim::FileFault::Open, R"(C:\WINDOWS\locked.exe)");
  sim.files.addFile(R"(C:\WINDOWS\CLOSED\inside.exe)");
  sim.files.inject(sim::FileFault::List, R"(C:\WINDOWS\CLOSED)");
  sim.files.addFile(R"(C:\WINDOWS\compressed.exe)", "", platform::kAttributeReparsePoint);
  sim.files.addFile(R"(C:\TEMP\LINKED\inside.exe)");
  sim.files.addFolder(R"(C:\TEMP\LINKED)", platform::kAttributeReparsePoint);
  runScan();
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, (Strings{R"(C:\TEMP\\LINKED: a junction or folder link, not followed)",
                            R"(C:\WINDOWS\CLOSED: the folder cannot be listed)",
                            R"(C:\WINDOWS\compressed.exe: a link or reparse point, not followed)",
                            R"(C:\WINDOWS\locked.exe: it cannot be opened)",
                            R"(C:\WINDOWS\pagefile.sys: held open by another program)"}));
  EXPECT_EQ(scanSession().statistics.notExamined, 4);
  EXPECT_EQ(scanExitStatus(scanSession()), kExitNotAllExamined);
  watchNotExamined(nullptr);
}

TEST_F(ScanDriverTest, APendingRemovalOffersARestart) {
  scanSession().restartRequired = 1;
  runScan();
  ASSERT_EQ(sim.desktop.messageBoxes().size(), 1u);
  const sim::ShownMessageBox& box = sim.desktop.messageBoxes()[0];
  EXPECT_EQ(box.owner, 0u);
  EXPECT_EQ(box.caption, "Vandrel Ver 4.0");
  EXPECT_EQ(box.style, platform::kBoxYesNo);
  EXPECT_EQ(box.text,
            "The system has to be restarted to remove the virus completely from your system. "
            "\n\n Restart now?");
}

// Whether the worm can come back is said after the statistics, before the restart offer, and
// only when the fix is missing or cannot be told.
TEST_F(ScanDriverTest, SaysAfterTheStatisticsWhenTheWormCanComeBack) {
  const std::string missing =
      "RPC/DCOM     MS03-026 fix missing: W32/Blaster.Worm can return until KB823980 or KB824146 "
      "is installed";
  const std::string untold =
      "RPC/DCOM     MS03-026 fix could not be verified: W32/Blaster.Worm can return until "
      "KB823980 or KB824146 is installed";
  struct Case {
    const char* what;
    platform::VersionInfo version;
    const char* servicePack;
    std::uint16_t revision;  // of rpcrt4.dll 5.x.y.revision; 0 for no file
    std::string line;        // empty for none
    Reinfection verdict;
  };
  const Case cases[] = {
      {"2000 below its fix",
       {platform::kPlatformIdNt, 5, 0},
       "Service Pack 4",
       6600,
       missing,
       Reinfection::kMissing},
      {"2000 with a file that tells no version",
       {platform::kPlatformIdNt, 5, 0},
       "Service Pack 4",
       0,
       untold,
       Reinfection::kUnknown},
      {"2000 at its fix",
       {platform::kPlatformIdNt, 5, 0},
       "Service Pack 4",
       6753,
       "",
       Reinfection::kFixed},
      {"98", {platform::kPlatformIdWindows, 4, 10}, " A", 6600, "", Reinfection::kNotAffected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetScanSessionForTest();
    scanSession().scanDialogWindow = window;
    written.clear();
    sim.processes.setVersion(c.version);
    sim.processes.setServicePack(c.servicePack);
    sim.files.addFile(R"(C:\WINDOWS\system32\rpcrt4.dll)",
                      c.revision == 0 ? "" : specimens::versionImage(5, 0, 2195, c.revision).bytes);
    scanSession().restartRequired = 1;
    std::size_t linesWhenOffered = 0;
    sim.desktop.onMessageBox(
        [&](const sim::ShownMessageBox&) { linesWhenOffered = written.size(); });

    runScan();

    Strings expected = statistics(6, 0, 0);
    if (!c.line.empty()) expected.push_back(c.line);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(linesWhenOffered, expected.size());
    EXPECT_EQ(scanSession().reinfection.verdict, c.verdict);
    EXPECT_LT(c.line.size(), platform::kMaxLogLine);
  }
}

// The console programs' exit status: found, removed, or left for a person.
TEST(ScanExitStatusTest, SaysWhetherAWormWasFoundAndWhetherAnythingIsLeft) {
  struct Case {
    int infected, deleted, restart, memoryRestart, terminated;
    int status;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 0, kExitClean},
      {2, 2, 0, 0, 0, kExitRemoved},
      {2, 1, 0, 0, 0, kExitNeedsAttention},
      {1, 1, 1, 0, 0, kExitNeedsAttention},
      {0, 0, 0, 1, 0, kExitNeedsAttention},
      // A terminated scan is never clean or removed; what it left behind still comes first.
      {0, 0, 0, 0, 1, kExitNotAllExamined},
      {1, 1, 0, 0, 1, kExitNotAllExamined},
      {1, 0, 0, 0, 1, kExitNeedsAttention},
  };
  for (const Case& c : cases) {
    ScanSession session;
    session.statistics.filesInfected = c.infected;
    session.statistics.filesDeleted = c.deleted;
    session.restartRequired = c.restart;
    session.memoryRestartRequired = c.memoryRestart;
    session.scanTerminated = static_cast<std::uint8_t>(c.terminated);
    EXPECT_EQ(scanExitStatus(session), c.status)
        << c.infected << " infected, " << c.deleted << " deleted, restart " << c.restart << "/"
        << c.memoryRestart << ", terminated " << c.terminated;
  }
  EXPECT_EQ(graverExitStatus(kExitNotAllExamined, kExitNeedsAttention), kExitNeedsAttention);
  EXPECT_EQ(graverExitStatus(kExitCouldNotRun, kExitNeedsAttention), kExitCouldNotRun);
  EXPECT_EQ(graverExitStatus(kExitRemoved, kExitNotAllExamined), kExitNotAllExamined);
  // A report that could not be written weighs less than a worm left behind, more than a scan
  // that did not examine everything.
  EXPECT_EQ(graverExitStatus(kExitReportNotWritten, kExitNeedsAttention), kExitNeedsAttention);
  EXPECT_EQ(graverExitStatus(kExitNotAllExamined, kExitReportNotWritten), kExitReportNotWritten);
  EXPECT_EQ(graverExitStatus(kExitClean, kExitReportNotWritten), kExitReportNotWritten);
}

}  // namespace
