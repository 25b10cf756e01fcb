#include "platform/offline/installation_scope.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <vector>

#include "common/bounded_text.h"

namespace platform::offline {
namespace {

const std::vector<std::string> kProfileList = {"Microsoft", "Windows NT", "CurrentVersion",
                                               "ProfileList"};

// A string value holding a path is stored as UTF-16 with its terminating NUL.
constexpr std::uint32_t kLongestPathValue = 2 * (kLongestWindowsPath + 1);

std::string joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "\\" + name;
}

std::string lastComponent(const std::string& path) {
  std::size_t separator = path.rfind('\\');
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The name with ASCII letters in lower case, as names are compared ignoring case.
std::string foldedCase(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

std::string twinProblem(const std::string& where) {
  return displayPath(where) + ": " + describe(TreeError::kAmbiguous) + ", so neither is used";
}

}  // namespace

ScopeBuilder::ScopeBuilder(RootedTree& tree, HiveSandbox& sandbox, Installation& found)
    : tree_(tree), sandbox_(sandbox), found_(found) {
  std::string systemRoot = displayPath(found_.windowsFolder);
  variables_ = {{"SystemDrive", "C:"}, {"SystemRoot", systemRoot}, {"windir", systemRoot}};
}

void ScopeBuilder::learnVariables(HiveFile& software) {
  // Each is expanded with what is known before it, as Windows builds them at start-up.
  auto learn = [&](const char* value, const char* variable, const std::string& prefix) {
    std::string stored, why, expanded;
    if (software.queryText(kProfileList, value, kLongestPathValue, stored, why) != Lookup::kFound ||
        !expandVariables(prefix + stored, variables_, expanded, why)) {
      return;
    }
    variables_.emplace_back(variable, expanded);
  };
  learn("ProfilesDirectory", "ProfilesDirectory", "");
  // 2000 and XP keep the name of All Users' folder in the profiles' folder; later versions keep
  // the whole path of ProgramData.
  learn("AllUsersProfile", "ALLUSERSPROFILE", "%ProfilesDirectory%\\");
  learn("ProgramData", "ALLUSERSPROFILE", "");
}

bool ScopeBuilder::takeTemp(const std::string& folder) {
  FileIdentity identity;
  if (!folderIdentity(tree_, folder, identity)) return false;
  return temps_.insert({identity.device, identity.inode}).second;
}

void ScopeBuilder::addWindowsTemp() {
  std::string onDisk, where;
  TreeError error;
  if (resolveWithoutTwins(tree_, found_.windowsFolder, "Temp", EntryKind::kFolder, onDisk, error,
                          where)) {
    if (takeTemp(onDisk)) found_.windowsTemp = onDisk;
  } else if (error == TreeError::kAmbiguous) {
    unreachable(twinProblem(where) + " as the Windows folder's temporary folder");
  }
}

void ScopeBuilder::addProfileFolder(const std::string& folder, const std::string& listedAs) {
  FileIdentity identity;
  if (!folderIdentity(tree_, folder, identity)) return;
  auto known = profiles_.find({identity.device, identity.inode});
  if (known != profiles_.end()) {
    // Met again (listed, then laid out; or listed twice): the one profile.
    if (known->second != kNoPlace && found_.users[known->second].listedAs.empty()) {
      found_.users[known->second].listedAs = listedAs;
    }
    return;
  }
  if (found_.users.size() >= kMostProfiles) {
    ++profilesBeyondLimit_;
    return;
  }
  // A folder that turns out to be no profile has no place among the users: met again, it is
  // passed over again.
  std::size_t& place = profiles_[{identity.device, identity.inode}];
  place = kNoPlace;
  UserProfile profile;
  profile.folder = folder;
  profile.listedAs = listedAs;
  std::string onDisk, where;
  TreeError error;
  if (resolveWithoutTwins(tree_, folder, "NTUSER.DAT", EntryKind::kRegularFile, onDisk, error,
                          where)) {
    profile.hiveName = lastComponent(onDisk);
  } else if (error == TreeError::kAmbiguous) {
    unreachable(twinProblem(where) + " as the user's registry hive");
  } else if (error != TreeError::kNotFound) {
    note(displayPath(where) + ": " + describe(error));
  }
  // On later versions "Local Settings" is a link to AppData\Local, passed over in silence.
  for (const char* temp : {"Local Settings\\Temp", "AppData\\Local\\Temp"}) {
    if (resolveWithoutTwins(tree_, folder, temp, EntryKind::kFolder, onDisk, error, where)) {
      if (takeTemp(onDisk)) profile.tempFolder = onDisk;
      break;
    }
    if (error == TreeError::kAmbiguous) {
      unreachable(twinProblem(where) + " on the way to the user's temporary folder");
      break;
    }
  }
  if (!listedAs.empty() || !profile.hiveName.empty() || !profile.tempFolder.empty()) {
    place = found_.users.size();
    found_.users.push_back(profile);
  }
}

void ScopeBuilder::addListedProfiles(HiveFile& software) {
  const std::string hive = displayPath(software.path());
  std::vector<std::string> keys;
  std::uint32_t total = 0;
  std::string why;
  Lookup listed = software.subkeyNames(kProfileList, kMostProfiles, keys, total, why);
  if (listed == Lookup::kAbsent) return;
  if (listed == Lookup::kFailed) {
    unreachable(hive + ": its ProfileList cannot be read (" + why +
                "): profiles it names may be missed");
    return;
  }
  if (keys.size() < total) {
    unreachable(hive + ": its ProfileList has " + std::to_string(total) + " keys; " +
                std::to_string(total - keys.size()) + " of them (beyond the first " +
                std::to_string(kMostProfiles) +
                ", or with names that cannot be read) are not read");
  }
  for (const std::string& key : keys) {
    std::string where = hive + ": ProfileList\\" + key;
    std::string stored;
    Lookup found = software.queryText(
        {kProfileList[0], kProfileList[1], kProfileList[2], kProfileList[3], key},
        "ProfileImagePath", kLongestPathValue, stored, why);
    if (found == Lookup::kAbsent) continue;  // no profile: Windows loads none from it
    std::string expanded, relative, onDisk, at;
    TreeError error;
    if (found == Lookup::kFailed) {
      unreachable(where + ": its ProfileImagePath cannot be read (" + why + ")");
    } else if (!expandVariables(stored, variables_, expanded, why) ||
               !relativeToSystemDrive(expanded, relative, why)) {
      unreachable(where + ": the profile at \"" + shortened(stored) + "\" is not followed: " + why);
    } else if (!resolveWithoutTwins(tree_, "", relative, EntryKind::kFolder, onDisk, error, at)) {
      unreachable(where + ": the profile " + shortened(displayPath(relative)) +
                  " cannot be reached (" + shortened(displayPath(at)) + ": " + describe(error) +
                  ")");
    } else {
      addProfileFolder(onDisk, key);
    }
  }
}

void ScopeBuilder::profilesIn(const std::string& profilesFolder) {
  ScopedFd folder = tree_.openFolder(profilesFolder.c_str());
  FolderListing listing;
  if (!folder || !listing.open(folder.get())) {
    std::string why = folder ? std::strerror(errno) : describe(tree_.error());
    note(displayPath(profilesFolder) + ": cannot be listed (" + why +
         "); the profiles in it are not found");
    return;
  }
  std::vector<std::string> names;
  TreeEntry entry;
  while (listing.next(entry)) {
    std::string path = joined(profilesFolder, entry.name);
    if (entry.cut) {
      note(displayPath(path) + ": " + describe(TreeError::kBadName));
    } else if (entry.kind == EntryKind::kLink) {
      note(displayPath(path) + ": " + describe(TreeError::kLink));
    } else if (entry.kind == EntryKind::kFolder) {
      names.push_back(entry.name);
    }
  }
  if (errno != 0) {
    note(displayPath(profilesFolder) + ": cannot be listed to its end (" + std::strerror(errno) +
         "); profiles in it may not be found");
  }
  // One order whatever the file system's, so that runs and their lines repeat.
  std::sort(names.begin(), names.end());
  std::map<std::string, int> spellings;
  for (const std::string& name : names) ++spellings[foldedCase(name)];
  for (const std::string& name : names) {
    if (spellings[foldedCase(name)] > 1) {
      unreachable(twinProblem(joined(profilesFolder, name)) + " as a profile");
      continue;
    }
    addProfileFolder(joined(profilesFolder, name), "");
  }
}

void ScopeBuilder::addLayoutProfiles() {
  // 2000 and XP keep profiles in "Documents and Settings", later versions in "Users", NT 4.0 in
  // the Windows folder's "Profiles". On later versions the first is a link, passed over.
  const std::pair<std::string, std::string> layouts[] = {
      {"", "Documents and Settings"}, {"", "Users"}, {found_.windowsFolder, "Profiles"}};
  for (const auto& [base, profiles] : layouts) {
    std::string onDisk, where;
    TreeError error;
    if (resolveWithoutTwins(tree_, base, profiles, EntryKind::kFolder, onDisk, error, where)) {
      profilesIn(onDisk);
    } else if (error == TreeError::kAmbiguous) {
      unreachable(twinProblem(where) + " as the profiles' folder");
    }
  }
}

void ScopeBuilder::environmentTemp(UserProfile& user, HiveFile& hive, const char* name) {
  std::string where = displayPath(hive.path()) + ": Environment\\" + name;
  std::string stored, why, expanded, relative, onDisk, at;
  Lookup found = hive.queryText({"Environment"}, name, kLongestPathValue, stored, why);
  if (found == Lookup::kAbsent) return;
  if (found == Lookup::kFailed) {
    note(where + " cannot be read (" + why + "); the folder it names is not walked");
    return;
  }
  Variables variables = variables_;
  variables.emplace_back("USERPROFILE", displayPath(user.folder));
  TreeError error;
  if (!expandVariables(stored, variables, expanded, why) ||
      !relativeToSystemDrive(expanded, relative, why)) {
    note(where + " (\"" + shortened(stored) + "\") is not walked: " + why);
  } else if (!resolveWithoutTwins(tree_, "", relative, EntryKind::kFolder, onDisk, error, at)) {
    // Named even when it is simply not there: Windows may reach it by a name this mount does
    // not show (a short name such as DOCUME~1, a letter case beyond ASCII).
    if (error == TreeError::kAmbiguous) {
      unreachable(where + ": " + twinProblem(shortened(at)) + "; it is not walked");
    } else {
      note(where + " (\"" + shortened(stored) + "\"): " + shortened(displayPath(at)) + ": " +
           describe(error) + "; not walked");
    }
  } else if (takeTemp(onDisk)) {
    user.environmentTemp.push_back(onDisk);
  }
}

void ScopeBuilder::addEnvironmentTemps() {
  for (UserProfile& user : found_.users) {
    if (user.hiveName.empty()) continue;
    HiveFile::OpenError error;
    std::unique_ptr<HiveFile> hive =
        HiveFile::open(tree_, user.folder, user.hiveName.c_str(), error, sandbox_);
    // A hive that cannot be read is named when the cleanup opens it.
    if (!hive) continue;
    environmentTemp(user, *hive, "TEMP");
    environmentTemp(user, *hive, "TMP");
  }
}

void ScopeBuilder::findCurrentControlSet(HiveFile& system) {
  std::uint32_t type = 0;
  std::string data;
  Lookup found = system.queryValue({"Select"}, "Current", type, data);
  constexpr std::uint32_t kRegDword = 4;
  if (found != Lookup::kFound || type != kRegDword || data.size() != 4) {
    found_.currentControlSetProblem = found == Lookup::kAbsent ? "Select\\Current is not there"
                                                               : "Select\\Current cannot be read";
    return;
  }
  auto bytes = reinterpret_cast<const unsigned char*>(data.data());
  std::uint32_t number =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  char name[24];
  std::snprintf(name, sizeof name, "ControlSet%03u", number);
  if (number == 0 || number > 999 || system.findKey({name}) != Lookup::kFound) {
    found_.currentControlSetProblem =
        "Select\\Current names control set " + std::to_string(number) + ", which is not there";
    return;
  }
  found_.currentControlSet = name;
}

void ScopeBuilder::finish() {
  if (profilesBeyondLimit_ == 0) return;
  unreachable(std::to_string(profilesBeyondLimit_) + " profiles beyond the first " +
              std::to_string(kMostProfiles) + " are not taken");
}

}  // namespace platform::offline
