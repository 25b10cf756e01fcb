// What a mounted Windows installation holds, found under the root of a RootedTree: its Windows
// folder, the hives of its registry, its users' profiles with their hives and temporary folders.
// Every path is relative to the root and spelt as on disk.
#pragma once

#include <string>
#include <vector>

#include "platform/offline/rooted_tree.h"

namespace platform::offline {

enum class InstallationKind {
  kNotWindows,  // no Windows folder with a registry under the root
  kNtFamily,    // NT 4.0, 2000, XP and later: the registry is in hive files
  kWindows9x,   // 95, 98, Me: SYSTEM.DAT and USER.DAT, which are not hives
};

struct UserProfile {
  std::string folder;      // e.g. "Documents and Settings\alice"
  std::string hiveName;    // its NTUSER.DAT as spelt on disk; empty when it has none
  std::string tempFolder;  // its temporary folder; empty when it has none
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
  // Why the root is not one Windows installation (kind kNotWindows), and what was passed over
  // on the way (a profile that is a link, a name two entries answer to, ...).
  std::string problem;
  std::vector<std::string> notes;
};

// Looks at the root of `tree`. The Windows folder is the root's WINDOWS or WINNT (in any letter
// case): on the NT family the one that holds system32\config\SOFTWARE, on 95/98/Me the one that
// holds SYSTEM.DAT. Two such folders are refused as ambiguous.
Installation findInstallation(RootedTree& tree);

// The Windows-style path of `relative` on drive C:, as the scan's lines show paths.
std::string displayPath(const std::string& relative);

}  // namespace platform::offline
