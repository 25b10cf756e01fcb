// How findInstallation() gathers the scope of an installation once its Windows folder is chosen:
// profiles from ProfileList and from the folder layout, each folder once; the temporary folders
// of the layout and of each user's Environment, each folder once; the current control set.
// Internal to installation.cpp and installation_scope.cpp.
#pragma once

#include <sys/types.h>

#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/offline/hive_file.h"
#include "platform/offline/installation.h"
#include "platform/offline/installation_paths.h"
#include "platform/offline/rooted_tree.h"

namespace platform::offline {

// More profiles than this (listed or laid out) are not taken; the rest are named as not cleaned.
constexpr std::size_t kMostProfiles = 2000;

class ScopeBuilder {
 public:
  ScopeBuilder(RootedTree& tree, HiveSandbox& sandbox, Installation& found);

  // %SystemDrive%, %SystemRoot% and %windir% from the Windows folder, and what ProfileList says
  // of the profiles' folders (%ProfilesDirectory%, %ALLUSERSPROFILE%).
  void learnVariables(HiveFile& software);
  // The Windows folder's Temp.
  void addWindowsTemp();
  // Each profile ProfileList names, reached under the root or named as unreachable.
  void addListedProfiles(HiveFile& software);
  // Each profile folder of the layouts (2000/XP, Vista and later, NT 4.0) not taken already.
  void addLayoutProfiles();
  // The folders each user's Environment names as TEMP and TMP, not walked already.
  void addEnvironmentTemps();
  // Which control set Select\Current names.
  void findCurrentControlSet(HiveFile& system);
  // Says, once, how many profiles were beyond kMostProfiles.
  void finish();

 private:
  using Identity = std::pair<dev_t, ino_t>;
  static constexpr std::size_t kNoPlace = static_cast<std::size_t>(-1);

  void addProfileFolder(const std::string& folder, const std::string& listedAs);
  // Adds the temporary folder `folder` (on disk) unless it is walked already; false then.
  bool takeTemp(const std::string& folder);
  void profilesIn(const std::string& profilesFolder);
  void environmentTemp(UserProfile& user, HiveFile& hive, const char* name);
  void note(const std::string& what) { found_.notes.push_back(what); }
  void unreachable(const std::string& what) { found_.unreachable.push_back(what); }

  RootedTree& tree_;
  HiveSandbox& sandbox_;
  Installation& found_;
  Variables variables_;
  std::map<Identity, std::size_t> profiles_;  // each profile's folder, and its place in users
  std::set<Identity> temps_;
  std::size_t profilesBeyondLimit_ = 0;
};

}  // namespace platform::offline
