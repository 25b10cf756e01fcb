// vandrel-cli: the whole scan without windows, for administrators and for tests. Every ScanLog
// line is printed as it is appended, the final status text last.
#include <windows.h>

#include <cstring>
#include <new>

#include "cli/console_desktop.h"
#include "cli/console_log_window.h"
#include "cli/console_processes.h"
#include "cli/report_file.h"
#include "common/json_writer.h"
#include "common/bounded_text.h"
#include "common/console_output.h"
#include "platform/dry_run.h"
#include "platform/win32/win32_os.h"
#include "scan/scan_driver.h"
#include "scan/not_examined.h"
#include "scan/scan_exit_status.h"
#include "scan/scan_report.h"
#include "scan/scan_session.h"
#include "system/shutdown_countdown.h"

namespace {

using console::Stream;

const char kUsage[] =
    "Usage: vandrel-cli [--dry-run] [--restart] [--report FILE]\n"
    "\n"
    "Scans this computer for the W32/Blaster.Worm family as Vandrel does: running worm\n"
    "processes are ended, the Windows and temporary folders are walked, worm files are\n"
    "deleted (or scheduled for deletion at the next restart), and the worm's start-up\n"
    "registry values and services are removed. Every log line is printed as it is written,\n"
    "the final status last. A question the program would ask in a window is printed on\n"
    "standard error with the answer given. Ctrl-C or Ctrl-Break ends the scan: the\n"
    "statistics are still printed. Nothing another program sends to its window ends it.\n"
    "On the NT family a system shutdown that is counting down (as one does when the RPC\n"
    "service fails) is aborted before the scan, and the restart is offered at its end.\n"
    "\n"
    "  --dry-run  change nothing: no process is ended, no file, value, service or\n"
    "             schedule is touched, and no restart is made. The lines and the exit\n"
    "             status are those a real run would give; what it would change is\n"
    "             counted on standard error at the end\n"
    "  --restart  answer Yes when a restart is offered (the default is No)\n"
    "  --report FILE\n"
    "             also write the scan's report to FILE as one JSON document (what was\n"
    "             found and done, what was not examined, the statistics, whether a restart\n"
    "             is needed and whether the worm can return, the exit status). It is\n"
    "             written to a new file beside FILE that then takes its name, so that a\n"
    "             reader never finds half of one; a FILE that cannot be written is named on\n"
    "             standard error\n"
    "  --help     show this text\n"
    "\n"
    "Exit status (the first that applies, in this order: 3, 2, 5, 4, 1, 0):\n"
    "  3  the scan could not run\n"
    "  2  worm found, and a file could not be deleted or a restart is needed (also when a\n"
    "     worm process that could not be ended ends the scan before the file walk)\n"
    "  5  the scan ran, but the --report FILE could not be written\n"
    "  4  not everything in scope was examined: the scan was ended with Ctrl-C or\n"
    "     Ctrl-Break, or a folder could not be listed, a file could not be opened, a path\n"
    "     was too long, or a link or reparse point was met (each named on standard error;\n"
    "     files that other programs hold open without sharing are named, but alone do not\n"
    "     change the status)\n"
    "  1  worm found, every identified file deleted, no restart needed\n"
    "  0  no worm found, everything examined\n";

// Ctrl-C and Ctrl-Break end the scan as Cancel ends the windowed one: the walk stops at its next
// entry and the statistics are still written. The handler runs on a thread of its own; the walk
// polls the flag after every entry.
BOOL WINAPI endScanOnInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  scanSession().scanTerminated = 1;
  return TRUE;
}

void nameNotExamined(const char* object, const char* reason) {
  console::print(Stream::kError, "vandrel-cli: not examined: %s: %s\n", object, reason);
}

// After the statistics: how much of the scope was not examined, when anything was.
void sayWhatWasNotExamined(const ScanStatistics& statistics) {
  if (statistics.notExamined > 0) {
    console::print(Stream::kError,
                   "vandrel-cli: %d objects in the scan's scope were not examined (named above)\n",
                   statistics.notExamined);
  }
  if (statistics.heldByOtherPrograms > 0) {
    console::print(Stream::kError,
                   "vandrel-cli: %d files held open by other programs were not examined (named "
                   "above)\n",
                   statistics.heldByOtherPrograms);
  }
}

// What the report needs beyond the scan's own record.
struct ReportRun {
  const char* path = nullptr;
  bool dryRun = false;
  char started[24] = {};
};
ReportRun reportRun;

void nowAsIsoTime(char (&buffer)[24]) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  formatIsoTime(buffer, sizeof buffer, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                now.wSecond);
}

// Writes the report for a run that ends with `status`; returns the status to exit with, which
// says when the report could not be written (after naming the file and why on standard error).
int writeReport(int status) {
  if (reportRun.path == nullptr) return status;
  char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerLength = sizeof computer;
  if (!GetComputerNameA(computer, &computerLength)) computer[0] = '\0';
  char ended[24];
  nowAsIsoTime(ended);

  ReportContext context;
  context.program = "vandrel-cli";
  context.computer = computer;
  context.started = reportRun.started;
  context.ended = ended;
  context.dryRun = reportRun.dryRun;
  context.exitStatus = status;
  constexpr std::size_t kMaxReport = 1 << 20;
  json::Writer writer(kMaxReport, cli::codePageToUtf8);
  DWORD error = 0;
  const char* stage = "the report does not fit in its bounds";
  if (!writeScanReport(context, writer) ||
      !cli::writeReportFile(reportRun.path, writer.text(), writer.length(), error, stage)) {
    console::print(Stream::kError, "vandrel-cli: %s: %s (error %lu); no report was written\n",
                   reportRun.path, stage, error);
    return graverExitStatus(status, kExitReportNotWritten);
  }
  return status;
}

// What a dry run would have changed, on one line of standard error.
void printDryRunChanges(const platform::DryRunChanges& changes) {
  console::print(Stream::kError,
                 "vandrel-cli: dry run: nothing was changed; a real run would have ended %d "
                 "process(es), closed %d window(s), deleted %d file(s), moved %d, changed the "
                 "attributes of %d, created %d folder(s), scheduled %d removal(s) for the "
                 "restart, deleted %d registry value(s), stopped %d service(s), deleted %d, "
                 "and restarted %d time(s)\n",
                 changes.processesEnded, changes.windowsClosed, changes.filesDeleted,
                 changes.filesMoved, changes.attributesChanged, changes.foldersCreated,
                 changes.removalsScheduled, changes.valuesDeleted, changes.servicesStopped,
                 changes.servicesDeleted, changes.restarts);
}

}  // namespace

int main(int argc, char** argv) {
  bool agreeToRestart = false;
  bool dryRun = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      console::write(Stream::kOutput, kUsage);
      console::flush(Stream::kOutput);
      return kExitClean;
    }
    if (std::strcmp(argv[i], "--report") == 0) {
      if (i + 1 == argc || argv[i + 1][0] == '\0') {
        console::print(Stream::kError, "vandrel-cli: --report needs a FILE\n\n%s", kUsage);
        return kExitCouldNotRun;
      }
      reportRun.path = argv[++i];
      continue;
    }
    if (std::strcmp(argv[i], "--dry-run") == 0) {
      dryRun = true;
      continue;
    }
    if (std::strcmp(argv[i], "--restart") == 0) {
      agreeToRestart = true;
      continue;
    }
    console::print(Stream::kError, "vandrel-cli: unknown option '%s'\n\n%s", argv[i], kUsage);
    return kExitCouldNotRun;
  }

  nowAsIsoTime(reportRun.started);
  reportRun.dryRun = dryRun;
  cli::ConsoleDesktop desktop(agreeToRestart);
  cli::ConsoleProcesses processes;
  processes.setBeforeEnd(writeReport);
  platform::Os os = platform::win32::win32Os();
  os.desktop = &desktop;
  os.processes = &processes;
  platform::install(os);
  // The dry run's parts stand between the scan and the system's, for the whole run. Their tables
  // are too large for the stack.
  platform::DryRun* dry = nullptr;
  if (dryRun) {
    dry = new (std::nothrow) platform::DryRun(os);
    if (dry == nullptr) {
      console::write(Stream::kError, "vandrel-cli: not enough memory for a dry run\n");
      return kExitCouldNotRun;
    }
    platform::install(dry->os());
    console::write(Stream::kOutput,
                   "Dry run: nothing is changed. The lines below say what a real run would end, "
                   "delete and remove.\n");
  }

  HWND logWindow = cli::createConsoleLogWindow();
  if (logWindow == nullptr) {
    console::print(Stream::kError, "vandrel-cli: cannot create the log window (error %lu)\n",
                   GetLastError());
    return kExitCouldNotRun;
  }

  ScanSession& session = scanSession();
  text::copy(session.scanTarget, "C:");
  session.scanTerminated = 0;
  SetConsoleCtrlHandler(endScanOnInterrupt, TRUE);
  abortShutdownCountdown();
  watchNotExamined(nameNotExamined);
  runScan();
  console::print(Stream::kOutput, "%s\n", session.statusText);
  console::flush(Stream::kOutput);
  sayWhatWasNotExamined(session.statistics);
  DestroyWindow(logWindow);
  int status = writeReport(scanExitStatus(session));
  if (dry != nullptr) {
    printDryRunChanges(dry->changes());
    platform::install(os);
    delete dry;
  }
  return status;
}
