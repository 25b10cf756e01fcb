#include "platform/offline/installation.h"

#include <algorithm>
#include <initializer_list>

namespace platform::offline {
namespace {

std::string joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "\\" + name;
}

// Follows `components` down from `base` (spelt as on disk), each one a real folder, and
// returns the path spelt as on disk; empty when any step is missing, a link or ambiguous.
std::string folderOnDisk(RootedTree& tree, const std::string& base,
                         std::initializer_list<const char*> components) {
  std::string path = base;
  for (const char* component : components) {
    int fd = tree.folder(path.c_str());
    TreeEntry entry;
    if (fd < 0 || !tree.find(fd, component, entry) || entry.kind != EntryKind::kFolder) return "";
    path = joined(path, entry.name);
  }
  return path;
}

// The name of the regular file `name` in `folder` as spelt on disk; empty when there is none,
// `why` then saying what is there instead.
std::string fileOnDisk(RootedTree& tree, const std::string& folder, const char* name,
                       TreeError* why = nullptr) {
  int fd = tree.folder(folder.c_str());
  TreeEntry entry;
  TreeError error = TreeError::kNone;
  if (fd < 0 || !tree.find(fd, name, entry)) {
    error = tree.error();
  } else if (entry.kind == EntryKind::kLink) {
    error = TreeError::kLink;
  } else if (entry.kind != EntryKind::kRegularFile) {
    error = TreeError::kNotARegularFile;
  }
  if (why != nullptr) *why = error;
  return error == TreeError::kNone ? entry.name : "";
}

void note(Installation& installation, const std::string& path, TreeError error) {
  installation.notes.push_back(displayPath(path) + ": " + describe(error));
}

// Adds every profile below `profilesFolder`: each real folder in it that holds an NTUSER.DAT or
// a temporary folder of either layout.
void addProfiles(RootedTree& tree, const std::string& profilesFolder, Installation& found) {
  ScopedFd folder = tree.openFolder(profilesFolder.c_str());
  if (!folder) return;
  FolderListing listing;
  if (!listing.open(folder.get())) return;
  std::vector<std::string> names;
  TreeEntry entry;
  while (listing.next(entry)) {
    std::string path = joined(profilesFolder, entry.name);
    if (entry.cut) {
      note(found, path, TreeError::kBadName);
    } else if (entry.kind == EntryKind::kLink) {
      note(found, path, TreeError::kLink);
    } else if (entry.kind == EntryKind::kFolder) {
      names.push_back(entry.name);
    }
  }
  // One order whatever the file system's, so that runs and their lines repeat.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    UserProfile profile;
    profile.folder = joined(profilesFolder, name);
    TreeError why = TreeError::kNone;
    profile.hiveName = fileOnDisk(tree, profile.folder, "NTUSER.DAT", &why);
    if (profile.hiveName.empty() && why != TreeError::kNotFound) {
      note(found, joined(profile.folder, "NTUSER.DAT"), why);
    }
    profile.tempFolder = folderOnDisk(tree, profile.folder, {"Local Settings", "Temp"});
    if (profile.tempFolder.empty()) {
      profile.tempFolder = folderOnDisk(tree, profile.folder, {"AppData", "Local", "Temp"});
    }
    if (!profile.hiveName.empty() || !profile.tempFolder.empty()) found.users.push_back(profile);
  }
}

// True when `windowsFolder` holds the hives of the NT family; fills in where they are.
bool findNtHives(RootedTree& tree, const std::string& windowsFolder, Installation& found) {
  std::string config = folderOnDisk(tree, windowsFolder, {"system32", "config"});
  if (config.empty()) return false;
  std::string software = fileOnDisk(tree, config, "SOFTWARE");
  if (software.empty()) return false;
  found.configFolder = config;
  found.softwareHive = software;
  found.systemHive = fileOnDisk(tree, config, "SYSTEM");
  found.defaultHive = fileOnDisk(tree, config, "DEFAULT");
  return true;
}

}  // namespace

std::string displayPath(const std::string& relative) { return "C:\\" + relative; }

Installation findInstallation(RootedTree& tree) {
  Installation found;
  std::vector<std::string> ntFolders;
  std::vector<std::string> nineXFolders;
  for (const char* candidate : {"WINDOWS", "WINNT"}) {
    TreeEntry entry;
    if (!tree.find(tree.rootFd(), candidate, entry)) {
      if (tree.error() != TreeError::kNotFound) {
        found.problem = displayPath(candidate) + ": " + describe(tree.error());
        return found;
      }
      continue;
    }
    if (entry.kind == EntryKind::kLink) {
      note(found, entry.name, TreeError::kLink);
      continue;
    }
    if (entry.kind != EntryKind::kFolder) continue;
    Installation probe;
    if (findNtHives(tree, entry.name, probe)) {
      ntFolders.push_back(entry.name);
    } else if (!fileOnDisk(tree, entry.name, "SYSTEM.DAT").empty()) {
      nineXFolders.push_back(entry.name);
    }
  }

  if (ntFolders.size() + nineXFolders.size() > 1) {
    found.problem = "more than one Windows folder under the root";
    return found;
  }
  if (ntFolders.size() == 1) {
    found.kind = InstallationKind::kNtFamily;
    found.windowsFolder = ntFolders.front();
    findNtHives(tree, found.windowsFolder, found);
    // 2000 and XP keep profiles in "Documents and Settings", later versions in "Users", NT 4.0
    // in the Windows folder's "Profiles". On later versions the first is a link, passed over.
    for (const char* profiles : {"Documents and Settings", "Users"}) {
      std::string folder = folderOnDisk(tree, "", {profiles});
      if (!folder.empty()) addProfiles(tree, folder, found);
    }
    std::string nt4Profiles = folderOnDisk(tree, found.windowsFolder, {"Profiles"});
    if (!nt4Profiles.empty()) addProfiles(tree, nt4Profiles, found);
  } else if (nineXFolders.size() == 1) {
    found.kind = InstallationKind::kWindows9x;
    found.windowsFolder = nineXFolders.front();
  } else {
    found.problem = "no Windows folder (WINDOWS or WINNT) with a registry under the root";
    return found;
  }
  found.windowsTemp = folderOnDisk(tree, found.windowsFolder, {"Temp"});
  return found;
}

}  // namespace platform::offline
