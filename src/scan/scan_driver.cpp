#include "scan/scan_driver.h"

#include "common/bounded_text.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "scan/directory_walker.h"
#include "scan/scan_log.h"
#include "scan/scan_record.h"
#include "scan/scan_session.h"
#include "system/memory_scan.h"
#include "system/reinfection_verdict.h"
#include "system/restart.h"

namespace {

using platform::kMaxPath;

// Walks the tree of `folder`, which GetWindowsDirectory or GetTempPath gave. The temporary
// path already ends in a backslash; the pattern keeps the doubled one, which the system accepts.
void walkTree(bool (platform::FileSystem::*where)(char*, std::size_t)) {
  char pattern[kMaxPath] = {};
  if (!(platform::files().*where)(pattern, sizeof pattern)) return;
  if (!text::append(pattern, "\\*.*")) return;
  walkDirectory(pattern);
}

}  // namespace

void writeScanSummary() {
  ScanSession& session = scanSession();
  const ScanStatistics& statistics = session.statistics;
  session.logFinal = 1;
  if (statistics.filesInfected > 0) appendLogLine(" ");
  appendLogLine("Scanning statistics\t\t:");
  appendLogLine("Total files scanned\t\t:  %d", statistics.filesScanned);
  appendLogLine("Total files infected\t\t:  %d", statistics.filesInfected);
  appendLogLine("Total files deleted\t\t:  %d", statistics.filesDeleted);
  if (session.scanTerminated == 1) {
    recordNotExamined(session.scanTarget, "the scan was ended before it had examined everything");
  }
  showStatus(session.scanTerminated == 1 ? "Scanning terminated" : "Scanning completed");
}

void writeReinfectionVerdict() {
  ScanSession& session = scanSession();
  session.reinfection = judgeReinfection();
  Reinfection verdict = session.reinfection.verdict;
  if (verdict == Reinfection::kFixed || verdict == Reinfection::kNotAffected) return;
  const char* outcome = verdict == Reinfection::kMissing ? "missing" : "could not be verified";
  appendLogLine(
      "RPC/DCOM     MS03-026 fix %s: %s can return until KB823980 or KB824146 is installed",
      outcome, session.virusFamilyName);
}

int runScan() {
  ScanSession& session = scanSession();
  // A message that reaches the window while the walker pumps must not start the whole scan
  // again inside the running one.
  if (session.scanRunning != 0) return 1;
  session.scanRunning = 1;
  if (session.shutdownAborted != 0) {
    appendLogLine(
        "System Shutdown     aborted: the RPC service has failed; restart the computer "
        "after the scan");
  }
  runMemoryScan();

  // The scope is the Windows tree and the temporary tree; the drive root itself is not walked.
  walkTree(&platform::FileSystem::windowsDirectory);
  walkTree(&platform::FileSystem::tempDirectory);

  // Only a drive-root walk notes a Program Files folder, so with the walks above this finds
  // nothing pending; it stays for a drive walk.
  if (session.programFilesPending == 1 && session.programFilesWalked == 0) {
    walkDirectory(session.programFilesPath);
    session.programFilesPending = 0;
  }

  writeScanSummary();
  writeReinfectionVerdict();

  // An aborted shutdown leaves the failed RPC service down until the machine restarts.
  if (session.restartRequired != 0 || session.shutdownAborted != 0) {
    int answer = platform::desktop().messageBox(
        0,
        "The system has to be restarted to remove the virus completely from your system. "
        "\n\n Restart now?",
        session.appCaption, platform::kBoxYesNo);
    if (answer == platform::kAnswerYes) restartComputer();
  }
  session.scanRunning = 0;
  return 1;
}
