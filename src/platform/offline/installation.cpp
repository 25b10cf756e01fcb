#include "platform/offline/installation.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "common/bounded_text.h"
#include "platform/offline/hive_file.h"
#include "platform/offline/installation_paths.h"
#include "platform/offline/installation_scope.h"

namespace platform::offline {
namespace {

std::string joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "\\" + name;
}

std::string lastComponent(const std::string& path) {
  std::size_t separator = path.rfind('\\');
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// A folder that may be the Windows folder, and what it holds.
struct Candidate {
  std::string folder;  // on disk
  InstallationKind kind = InstallationKind::kNotWindows;
  std::string configFolder;
  std::string softwareHive, systemHive, defaultHive;
  std::unique_ptr<HiveFile> software, system;
  std::string defaultProblem;  // why DEFAULT is not taken, when it is there but cannot be
  // Why it is not one, when it holds some of an installation; empty when it holds none.
  std::string setAside;
  // It holds a SOFTWARE and a SYSTEM, but hivex cannot read one of them as sound: set aside when
  // looked for, yet taken when the administrator names it (its files can still be cleaned).
  bool damagedHives = false;
};

std::string whyNotSound(const HiveFile::OpenError& error) {
  if (error.tree != TreeError::kNone) return describe(error.tree);
  if (error.fault != HiveFault::kNone) return describe(error.fault);
  if (!error.child.empty()) return "its reader failed (" + error.child + ")";
  return std::string("hivex cannot read it (") + std::strerror(error.systemError) + ")";
}

// The file `name` of `folder` without a twin; empty when there is none, `why` then saying what
// is there instead (nothing said when it is simply absent).
std::string hiveOnDisk(RootedTree& tree, const std::string& folder, const char* name,
                       std::string& why) {
  std::string onDisk, where;
  TreeError error;
  if (resolveWithoutTwins(tree, folder, name, EntryKind::kRegularFile, onDisk, error, where)) {
    return lastComponent(onDisk);
  }
  if (error != TreeError::kNotFound) why = displayPath(where) + ": " + describe(error);
  return "";
}

// Looks at `candidate.folder` as a Windows folder: the NT family's when system32\config holds a
// SOFTWARE and a SYSTEM that hivex reads as sound (in its child), 95/98/Me's when it holds
// SYSTEM.DAT.
void examine(RootedTree& tree, HiveSandbox& sandbox, Candidate& candidate) {
  std::string config, where;
  TreeError error;
  if (resolveWithoutTwins(tree, candidate.folder, "system32\\config", EntryKind::kFolder, config,
                          error, where)) {
    std::string why;
    std::string software = hiveOnDisk(tree, config, "SOFTWARE", why);
    std::string system = hiveOnDisk(tree, config, "SYSTEM", why);
    if (!software.empty() || !system.empty() || !why.empty()) {
      if (software.empty() || system.empty()) {
        candidate.setAside =
            !why.empty() ? why
                         : displayPath(joined(config, software.empty() ? "SOFTWARE" : "SYSTEM")) +
                               ": not found";
        return;
      }
      candidate.configFolder = config;
      candidate.softwareHive = software;
      candidate.systemHive = system;
      candidate.defaultHive = hiveOnDisk(tree, config, "DEFAULT", candidate.defaultProblem);
      HiveFile::OpenError openError;
      for (auto [name, file] : {std::make_pair(&software, &candidate.software),
                                std::make_pair(&system, &candidate.system)}) {
        *file = HiveFile::open(tree, config, name->c_str(), openError, sandbox);
        if (!*file) {
          candidate.setAside =
              displayPath(joined(config, *name)) + ": not a sound hive: " + whyNotSound(openError);
          candidate.damagedHives = true;
          return;
        }
      }
      candidate.kind = InstallationKind::kNtFamily;
      return;
    }
  } else if (error == TreeError::kAmbiguous) {
    candidate.setAside = displayPath(where) + ": " + describe(error);
    return;
  }
  std::string why;
  if (!hiveOnDisk(tree, candidate.folder, "SYSTEM.DAT", why).empty()) {
    candidate.kind = InstallationKind::kWindows9x;
  } else if (!why.empty()) {
    candidate.setAside = why;
  }
}

// The root's WINDOWS and WINNT folders, in any letter case, as candidates; the names with a twin
// are left out, and named.
std::vector<Candidate> rootCandidates(RootedTree& tree, HiveSandbox& sandbox, Installation& found) {
  std::vector<Candidate> candidates;
  FolderListing listing;
  if (!listing.open(tree.rootFd())) {
    found.problem = std::string("the root cannot be listed (") + std::strerror(errno) + ")";
    return candidates;
  }
  std::map<std::string, std::vector<TreeEntry>> byName;
  TreeEntry entry;
  while (listing.next(entry)) {
    for (const char* name : {"WINDOWS", "WINNT"}) {
      if (text::equalsIgnoringCase(entry.name, name)) byName[name].push_back(entry);
    }
  }
  // A listing that failed on the way may have missed a candidate: nothing is chosen then.
  if (errno != 0) {
    found.problem = std::string("the root cannot be listed (") + std::strerror(errno) + ")";
    return candidates;
  }
  for (auto& [name, entries] : byName) {
    for (const TreeEntry& one : entries) {
      if (one.kind == EntryKind::kLink) {
        found.notes.push_back(displayPath(one.name) + ": " + describe(TreeError::kLink));
        continue;
      }
      if (one.kind != EntryKind::kFolder) continue;
      Candidate candidate;
      candidate.folder = one.name;
      if (entries.size() > 1) {
        // Which of the two Windows would take cannot be known: neither is taken, but one that
        // looks like an installation still stands in the way of guessing at the others.
        examine(tree, sandbox, candidate);
        std::string twin = displayPath(one.name) + ": " + describe(TreeError::kAmbiguous);
        if (candidate.kind != InstallationKind::kNotWindows) {
          found.candidates.push_back(displayPath(one.name));
          found.unreachable.push_back(twin + ", so neither is used as the Windows folder");
        } else {
          found.setAside.push_back(twin);
        }
        continue;
      }
      examine(tree, sandbox, candidate);
      if (candidate.kind != InstallationKind::kNotWindows) {
        candidates.push_back(std::move(candidate));
      } else if (!candidate.setAside.empty()) {
        found.setAside.push_back(
            displayPath(one.name) + ": not a Windows folder: " + candidate.setAside +
            (candidate.damagedHives ? " (--windows " + std::string(one.name) +
                                          " takes it all the same, to clean its files)"
                                    : ""));
      }
    }
  }
  return candidates;
}

// The folder the administrator named with --windows, as a candidate.
bool chosenCandidate(RootedTree& tree, HiveSandbox& sandbox, const std::string& given,
                     Candidate& candidate, Installation& found) {
  std::string relative, why;
  // The path is relative to the root: read as if it followed "C:\".
  std::string asOnDriveC = "C:\\" + given;
  if (!relativeToSystemDrive(asOnDriveC, relative, why) || relative.empty()) {
    found.problem = "the --windows path \"" + given + "\" is not a path below the root" +
                    (why.empty() ? "" : ": " + why);
    return false;
  }
  std::string where;
  TreeError error;
  if (!resolveWithoutTwins(tree, "", relative, EntryKind::kFolder, candidate.folder, error,
                           where)) {
    found.problem = displayPath(where) + " (from --windows): " + describe(error);
    return false;
  }
  examine(tree, sandbox, candidate);
  if (candidate.damagedHives) {
    // Named by the administrator: its files are cleaned, and its hives, which the cleanup opens
    // again, are named there with what is wrong with them.
    candidate.kind = InstallationKind::kNtFamily;
    candidate.software.reset();
    candidate.system.reset();
    return true;
  }
  if (candidate.kind == InstallationKind::kNotWindows) {
    found.problem = displayPath(candidate.folder) + " (from --windows) is no Windows folder" +
                    (candidate.setAside.empty() ? "" : ": " + candidate.setAside);
    return false;
  }
  return true;
}

void takeNtFamily(RootedTree& tree, HiveSandbox& sandbox, Candidate& chosen, Installation& found) {
  found.configFolder = chosen.configFolder;
  found.softwareHive = chosen.softwareHive;
  found.systemHive = chosen.systemHive;
  found.defaultHive = chosen.defaultHive;
  if (!chosen.defaultProblem.empty()) {
    found.unreachable.push_back(chosen.defaultProblem + ", so HKEY_USERS\\.Default is not cleaned");
  }
  ScopeBuilder scope(tree, sandbox, found);
  // Both are open unless the administrator named an installation whose hives are damaged.
  if (chosen.software) scope.learnVariables(*chosen.software);
  scope.addWindowsTemp();
  // The installation's own list first, so that a profile both name is known by its key.
  if (chosen.software) scope.addListedProfiles(*chosen.software);
  scope.addLayoutProfiles();
  if (chosen.system) {
    scope.findCurrentControlSet(*chosen.system);
  } else {
    found.currentControlSetProblem = "the SYSTEM hive cannot be read";
  }
  // The machine's hives are done with; the users' are read one at a time.
  chosen.software.reset();
  chosen.system.reset();
  scope.addEnvironmentTemps();
  scope.finish();
}

}  // namespace

std::string displayPath(const std::string& relative) { return "C:\\" + relative; }

Installation findInstallation(RootedTree& tree, const FindOptions& options) {
  Installation found;
  // The children read only: they may be ended whenever room is needed.
  HiveSandbox sandbox;
  sandbox.settings = options.sandbox;
  sandbox.settings.fault = SandboxFault::kNone;

  Candidate chosen;
  if (!options.windowsFolder.empty()) {
    if (!chosenCandidate(tree, sandbox, options.windowsFolder, chosen, found)) return found;
  } else {
    std::vector<Candidate> candidates = rootCandidates(tree, sandbox, found);
    if (!found.problem.empty()) return found;
    for (const Candidate& candidate : candidates) {
      found.candidates.push_back(displayPath(candidate.folder));
    }
    if (found.candidates.size() > 1) {
      found.problem = "more than one Windows folder under the root could be the installation";
      return found;
    }
    if (candidates.empty()) {
      found.problem = found.candidates.empty()
                          ? "no Windows folder (WINDOWS or WINNT) with a registry under the root"
                          : "its Windows folder's name has a twin that differs only in letter case";
      // --windows cannot name either twin: one of them must be renamed first.
      found.candidates.clear();
      return found;
    }
    found.candidates.clear();
    chosen = std::move(candidates.front());
  }

  found.kind = chosen.kind;
  found.windowsFolder = chosen.folder;
  if (chosen.kind == InstallationKind::kNtFamily) {
    takeNtFamily(tree, sandbox, chosen, found);
  } else {
    ScopeBuilder scope(tree, sandbox, found);
    scope.addWindowsTemp();
  }
  return found;
}

}  // namespace platform::offline
