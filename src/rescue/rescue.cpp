#include "rescue/rescue.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/bounded_text.h"
#include "common/terminal_text.h"
#include "platform/offline/installation.h"
#include "platform/offline/installation_hives.h"
#include "platform/offline/offline_clock.h"
#include "platform/offline/offline_desktop.h"
#include "platform/offline/offline_file_system.h"
#include "platform/offline/utf16_length.h"
#include "platform/offline/offline_processes.h"
#include "platform/offline/offline_registry.h"
#include "platform/offline/offline_services.h"
#include "platform/os.h"
#include "rescue/rescue_options.h"
#include "rescue/rescue_report.h"
#include "scan/directory_walker.h"
#include "scan/not_examined.h"
#include "scan/scan_driver.h"
#include "scan/scan_exit_status.h"
#include "scan/scan_record.h"
#include "scan/scan_session.h"

namespace {

using namespace platform::offline;

// One line on the error output, named as the program's.
void say(std::FILE* errors, const char* pattern, ...) __attribute__((format(printf, 2, 3)));
void say(std::FILE* errors, const char* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  va_list again;
  va_copy(again, arguments);
  int length = std::vsnprintf(nullptr, 0, pattern, arguments);
  va_end(arguments);
  std::string message(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(message.data(), message.size() + 1, pattern, again);
  va_end(again);
  // What is said names files, folders and hives of the disk: nothing in a name may act on the
  // terminal, erase a warning or write a line of its own.
  std::vector<char> shown(4 * message.size() + 1);
  text::escapeForTerminal(message.c_str(), shown.data(), shown.size());
  std::fprintf(errors, "vandrel-rescue: %s\n", shown.data());
  std::fflush(errors);
}

void sayProblems(std::FILE* errors, const std::vector<InstallationHives::Problem>& problems,
                 std::size_t from) {
  for (std::size_t i = from; i < problems.size(); ++i) {
    say(errors, "%s: %s", displayPath(problems[i].path).c_str(), problems[i].what.c_str());
    recordNotExamined(displayPath(problems[i].path).c_str(), problems[i].what.c_str());
  }
}

// The walks of the scan, in order: the Windows tree, then each temporary folder as the system
// names one for its user (with a trailing backslash, to which "\*.*" is appended as the
// driver appends it, so that the lines show the paths vandrel-cli shows there).
std::vector<std::string> walkPatterns(const Installation& installation) {
  std::vector<std::string> patterns = {displayPath(installation.windowsFolder) + "\\*.*"};
  std::vector<std::string> temporary;
  if (!installation.windowsTemp.empty()) temporary.push_back(installation.windowsTemp);
  for (const UserProfile& user : installation.users) {
    if (!user.tempFolder.empty()) temporary.push_back(user.tempFolder);
    for (const std::string& folder : user.environmentTemp) temporary.push_back(folder);
  }
  for (const std::string& folder : temporary) {
    patterns.push_back(displayPath(folder) + "\\\\*.*");
  }
  return patterns;
}

// Walks every pattern; false when one was too long to walk (it is named on `errors`).
// Where the objects the walk cannot examine are named: the run's error stream.
std::FILE* notExaminedStream = nullptr;

void nameNotExamined(const char* object, const char* reason) {
  if (notExaminedStream != nullptr) say(notExaminedStream, "not examined: %s: %s", object, reason);
}

// After the statistics: how much of the scope was not examined, when anything was.
void sayWhatWasNotExamined(std::FILE* errors) {
  const ScanStatistics& statistics = scanSession().statistics;
  if (statistics.notExamined > 0) {
    say(errors, "%d objects in the scan's scope were not examined (named above)",
        statistics.notExamined);
  }
  if (statistics.heldByOtherPrograms > 0) {
    say(errors, "%d files held open by other programs were not examined (named above)",
        statistics.heldByOtherPrograms);
  }
}

bool walkScope(const Installation& installation, std::FILE* errors) {
  bool everyWalk = true;
  for (const std::string& pattern : walkPatterns(installation)) {
    if (pattern.size() >= platform::kPathBytes ||
        platform::offline::utf16Length(pattern.c_str()) >= platform::kMaxPath) {
      say(errors, "%s: the path is too long to be walked; not scanned", pattern.c_str());
      recordNotExamined(pattern.c_str(), "the path is too long to be walked");
      everyWalk = false;
      continue;
    }
    walkDirectory(pattern.c_str());
  }
  return everyWalk;
}

// The offline implementations of the seam, installed for as long as this lives.
class OfflineSeam {
 public:
  OfflineSeam(RootedTree& tree, const Installation& installation, InstallationHives& hives,
              std::FILE* output, std::FILE* errors, const volatile std::sig_atomic_t* interrupted)
      : files_(tree, installation),
        registry_(hives),
        services_(hives),
        processes_(registry_, installation.kind),
        desktop_(output, errors, interrupted),
        installed_({&files_, &registry_, &processes_, &services_, &desktop_, &clock_}) {}

  OfflineFileSystem& files() { return files_; }

 private:
  OfflineFileSystem files_;
  OfflineRegistry registry_;
  OfflineServices services_;
  OfflineProcesses processes_;
  OfflineDesktop desktop_;
  OfflineClock clock_;
  platform::ScopedInstall installed_;
};

// Writes the changed hives; false when one could not be written (each failure is named).
bool commitHives(InstallationHives& hives, const RescueOptions& options, const RescueSystem& system,
                 std::FILE* errors) {
  CommitOptions commit;
  commit.keepBackup = options.keepBackup;
  commit.date = system.backupDate;
  commit.writer = system.hiveWriter;
  std::size_t before = hives.problems().size();
  std::vector<InstallationHives::Committed> committed;
  bool allWritten = hives.commitChanged(commit, committed);
  for (const InstallationHives::Committed& hive : committed) {
    if (hive.backupName.empty()) {
      say(errors, "%s: written", displayPath(hive.path).c_str());
    } else {
      say(errors, "%s: written; the original is kept beside it as %s",
          displayPath(hive.path).c_str(), hive.backupName.c_str());
    }
  }
  sayProblems(errors, hives.problems(), before);
  return allWritten;
}

void sayWhatADryRunWouldChange(const InstallationHives& hives, std::FILE* errors) {
  for (const InstallationHives::Problem& change : hives.changes()) {
    say(errors, "dry run: %s: %s (not written)", displayPath(change.path).c_str(),
        change.what.c_str());
  }
}

// What was looked at under the root and is not the installation: said, no part of the scope.
void sayWhatWasSetAside(const Installation& installation, std::FILE* errors) {
  for (const std::string& aside : installation.setAside)
    say(errors, "set aside: %s", aside.c_str());
}

void sayCurrentControlSet(const Installation& installation, std::FILE* errors) {
  if (installation.kind != InstallationKind::kNtFamily || installation.systemHive.empty()) return;
  std::string system = displayPath(installation.configFolder + "\\" + installation.systemHive);
  if (!installation.currentControlSet.empty()) {
    say(errors, "%s: the current control set is %s; every control set is cleaned", system.c_str(),
        installation.currentControlSet.c_str());
  } else {
    say(errors,
        "%s: which control set is current cannot be told (%s); every control set is cleaned",
        system.c_str(), installation.currentControlSetProblem.c_str());
  }
}

// Why nothing was done with the root: what stood in the way, and what it found on the way.
int refuseRoot(const RescueOptions& options, const Installation& installation, std::FILE* errors) {
  sayWhatWasSetAside(installation, errors);
  for (const std::string& note : installation.notes) say(errors, "passed over: %s", note.c_str());
  for (const std::string& part : installation.unreachable) say(errors, "%s", part.c_str());
  say(errors, "%s: not a Windows installation (%s); nothing was done", options.root.c_str(),
      installation.problem.c_str());
  if (!installation.candidates.empty()) {
    for (const std::string& candidate : installation.candidates) {
      say(errors, "could be the Windows folder: %s", candidate.c_str());
    }
    say(errors,
        "name the one to clean with --windows PATH (relative to the root, e.g. "
        "--windows WINNT)");
  }
  return kExitCouldNotRun;
}

// Runs the scan over an installation found and checked; returns the exit status.
int rescueInstallation(RootedTree& tree, const Installation& installation,
                       const RescueOptions& options, const RescueSystem& system, std::FILE* output,
                       std::FILE* errors) {
  std::time_t started = std::time(nullptr);
  bool somethingNotCleaned = false;
  sayWhatWasSetAside(installation, errors);
  for (const std::string& note : installation.notes) {
    say(errors, "passed over: %s", note.c_str());
    recordNotExamined(note.c_str(), "passed over");
  }
  for (const std::string& part : installation.unreachable) {
    say(errors, "not cleaned: %s", part.c_str());
    recordNotExamined(part.c_str(), "not cleaned");
    somethingNotCleaned = true;
  }
  sayCurrentControlSet(installation, errors);

  InstallationHives hives;
  hives.sandbox().settings = system.sandbox;
  hives.open(tree, installation);
  sayProblems(errors, hives.problems(), 0);
  std::size_t problemsBeforeScan = hives.problems().size();
  if (problemsBeforeScan > 0) somethingNotCleaned = true;
  if (installation.kind == InstallationKind::kWindows9x) {
    say(errors,
        "%s: a Windows 95/98/Me installation, whose registry (SYSTEM.DAT, USER.DAT) is not "
        "a hive: the registry is not cleaned, the files are",
        displayPath(installation.windowsFolder).c_str());
    recordNotExamined(displayPath(installation.windowsFolder).c_str(),
                      "a Windows 95/98/Me registry is not cleaned");
    somethingNotCleaned = true;
  }

  OfflineSeam seam(tree, installation, hives, output, errors, system.interrupted);
  seam.files().setDryRun(options.dryRun);
  if (options.dryRun) {
    std::fprintf(output,
                 "Dry run: nothing is changed. The lines below say what a real run would delete "
                 "and remove.\n");
    std::fflush(output);
  }

  ScanSession& session = scanSession();
  text::copy(session.scanTarget, "C:");
  session.scanDialogWindow = OfflineDesktop::kLogWindow;
  session.scanTerminated = 0;
  // Nothing runs offline: no memory scan, and every file the walk meets is counted.
  session.inMemoryScan = 0;
  notExaminedStream = errors;
  watchNotExamined(nameNotExamined);
  if (!walkScope(installation, errors)) somethingNotCleaned = true;
  watchNotExamined(nullptr);
  notExaminedStream = nullptr;
  writeScanSummary();
  writeReinfectionVerdict();
  sayWhatWasNotExamined(errors);

  sayProblems(errors, hives.problems(), problemsBeforeScan);
  if (hives.problems().size() > problemsBeforeScan) somethingNotCleaned = true;
  if (options.dryRun) {
    sayWhatADryRunWouldChange(hives, errors);
  } else if (!commitHives(hives, options, system, errors)) {
    somethingNotCleaned = true;
  }
  if (session.scanTerminated == 1) {
    say(errors, "interrupted: the scan ended before it had examined everything");
    somethingNotCleaned = true;
  }

  std::fprintf(output, "%s\n", session.statusText);
  std::fflush(output);
  int status = scanExitStatus(session);
  if (somethingNotCleaned) status = graverExitStatus(status, kExitNeedsAttention);
  if (!options.reportPath.empty()) {
    std::string problem;
    if (!writeRescueReport(options.reportPath, started, options.dryRun, status, problem)) {
      say(errors, "%s: %s; no report was written", options.reportPath.c_str(), problem.c_str());
      status = graverExitStatus(status, kExitReportNotWritten);
    }
  }
  return status;
}

}  // namespace

bool mountedReadOnly(const RootedTree& tree) { return tree.readOnly(); }

int runRescue(const std::vector<std::string>& arguments, std::FILE* output, std::FILE* errors,
              const RescueSystem& system) {
  RescueOptions options;
  std::string problem;
  if (!parseRescueOptions(arguments, options, problem)) {
    say(errors, "%s", problem.c_str());
    std::fprintf(errors, "\n%s", kRescueUsage);
    return kExitCouldNotRun;
  }
  if (options.help) {
    std::fputs(kRescueUsage, output);
    return kExitClean;
  }

  RootedTree tree;
  if (!tree.open(options.root.c_str())) {
    say(errors, "%s: cannot be opened as a folder (%s); nothing was done", options.root.c_str(),
        std::strerror(tree.systemError()));
    return kExitCouldNotRun;
  }
  if (!options.dryRun && system.mountedReadOnly(tree)) {
    say(errors,
        "%s: mounted read-only; nothing was done. Mount it read-write (for NTFS: ntfs-3g, with "
        "Windows shut down fully, not hibernated), or look first with --dry-run",
        options.root.c_str());
    return kExitCouldNotRun;
  }
  FindOptions find;
  find.windowsFolder = options.windowsFolder;
  find.sandbox = system.sandbox;
  Installation installation = findInstallation(tree, find);
  if (installation.kind == InstallationKind::kNotWindows) {
    return refuseRoot(options, installation, errors);
  }
  return rescueInstallation(tree, installation, options, system, output, errors);
}
