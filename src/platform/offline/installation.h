// What a mounted Windows installation holds, found under the root of a RootedTree: its Windows
// folder, the hives of its registry, its users' profiles with their hives and temporary folders.
// Every path is relative to the root and spelt as on disk.
#pragma once

#include <string>
#include <vector>

#include "platform/offline/hive_sandbox.h"
#include "platform/offline/rooted_tree.h"

namespace platform::offline {

enum class InstallationKind {
  kNotWindows,  // no Windows folder with a registry under the root, or more than one
  kNtFamily,    // NT 4.0, 2000, XP and later: the registry is in hive files
  kWindows9x,   // 95, 98, Me: SYSTEM.DAT and USER.DAT, which are not hives
};

struct UserProfile {
  std::string folder;      // e.g. "Documents and Settings\alice"
  std::string hiveName;    // its NTUSER.DAT as spelt on disk; empty when it has none
  std::string tempFolder;  // its temporary folder of the layout; empty when it has none
  // The folders its Environment's TEMP and TMP name, each one not walked otherwise.
  std::vector<std::string> environmentTemp;
  std::string listedAs;  // the ProfileList key that lists it; empty when only the layout has it
};

struct Installation {
  InstallationKind kind = InstallationKind::kNotWindows;
  std::string windowsFolder;  // e.g. "WINDOWS" or "WINNT"
  std::string configFolder;   // the folder of the machine's hives (NT family)
  // The machine's hives as spelt on disk in configFolder; empty when absent.
  std::string softwareHive;
  std::string systemHive;
  std::string defaultHive;
  std::string windowsTemp;  // the Windows folder's Temp; empty when absent
  std::vector<UserProfile> users;
  // The control set SYSTEM's Select\Current names ("ControlSet001"); empty when that cannot be
  // told, currentControlSetProblem then saying why. Every control set is cleaned either way.
  std::string currentControlSet;
  std::string currentControlSetProblem;

  // Why the root is not one Windows installation (kind kNotWindows); with several Windows
  // folders that could be it, `candidates` lists them (as displayPath shows them).
  std::string problem;
  std::vector<std::string> candidates;
  // What was passed over in the scope on the way (a profile that is a link, a temporary folder
  // on another drive, ...): not examined.
  std::vector<std::string> notes;
  // Parts the installation uses that cannot be reached, so that what they hold is not cleaned:
  // a profile its ProfileList names that is missing, a link or elsewhere; a name with a twin
  // differing only in letter case; a ProfileList that cannot be read whole.
  std::vector<std::string> unreachable;
  // What was looked at and is not the installation (a Windows folder whose hives are not sound):
  // said, and no part of the scope.
  std::vector<std::string> setAside;
};

struct FindOptions {
  // The Windows folder, relative to the root (the administrator's --windows); empty to look for
  // the root's WINDOWS or WINNT.
  std::string windowsFolder;
  // For the children that read the hives while the installation is found.
  SandboxSettings sandbox;
};

// Looks at the root of `tree`. The Windows folder is the root's WINDOWS or WINNT (in any letter
// case, a name with a twin refused): on the NT family the one whose system32\config holds a
// SOFTWARE and a SYSTEM that hivex, in an unprivileged child, reads as sound; on 95/98/Me the one
// that holds SYSTEM.DAT. Folders that are neither are set aside; two that are either are
// refused, listed in `candidates`, unless `options` names the one to take. Profiles are those
// the SOFTWARE hive's ProfileList names and those of the folder layout, each folder once; each
// user's temporary folders are the layout's and those its NTUSER.DAT's Environment names.
Installation findInstallation(RootedTree& tree, const FindOptions& options = FindOptions());

// The Windows-style path of `relative` on drive C:, as the scan's lines show paths.
std::string displayPath(const std::string& relative);

}  // namespace platform::offline
