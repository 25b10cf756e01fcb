// A Windows installation laid out in a temporary folder, as it would be mounted on Linux: the
// folders of a 2000/XP, a Vista-and-later or a 95/98 installation, with hives that the tests make
// from the empty hive and fill through hivex. Removed with everything in it at the end.
#pragma once

#include <hivex.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "contract/worm_footprint.h"

namespace offline_test {

enum class Layout {
  kXp,     // WINDOWS, "Documents and Settings\<user>\Local Settings\Temp"
  kSeven,  // Windows, "Users\<user>\AppData\Local\Temp", "Documents and Settings" a link
  kNineX,  // WINDOWS with SYSTEM.DAT and USER.DAT
};

// A tree kept on disk: laid out in `folder` (made; it must not exist yet), or, with `existing`,
// the one a kept tree of the same layout left there before, taken as it is.
struct KeptAt {
  explicit KeptAt(std::string folder, bool existing = false)
      : folder(std::move(folder)), existing(existing) {}
  std::string folder;
  bool existing;
};

class InstallationTree {
 public:
  // Laid out in a temporary folder of its own, removed at the end.
  explicit InstallationTree(Layout layout, std::vector<std::string> users = {"alice", "bob"},
                            int controlSets = 2);
  InstallationTree(Layout layout, const KeptAt& where,
                   std::vector<std::string> users = {"alice", "bob"}, int controlSets = 2);
  ~InstallationTree();
  InstallationTree(const InstallationTree&) = delete;
  InstallationTree& operator=(const InstallationTree&) = delete;

  const std::string& root() const { return root_; }
  Layout layout() const { return layout_; }
  // The host path of a path relative to the root, written with backslashes.
  std::string host(const std::string& relative) const;

  void addFolder(const std::string& relative);
  void addFile(const std::string& relative, const std::string& bytes);
  std::string fileBytes(const std::string& relative) const;
  // The names in a folder, sorted.
  std::vector<std::string> folderNames(const std::string& relative) const;

  // Where this layout keeps things, relative to the root.
  std::string windowsFolder() const;
  std::string configFolder() const;
  std::string softwareHive() const { return configFolder() + "\\SOFTWARE"; }
  std::string systemHive() const { return configFolder() + "\\SYSTEM"; }
  std::string defaultHive() const { return configFolder() + "\\DEFAULT"; }
  std::string profileFolder(const std::string& user) const;
  std::string userHive(const std::string& user) const {
    return profileFolder(user) + "\\NTUSER.DAT";
  }
  std::string userTemp(const std::string& user) const;
  const std::vector<std::string>& users() const { return users_; }
  std::vector<std::string> userHives() const;
  // "ControlSet001", "ControlSet002", ...
  std::vector<std::string> controlSets() const;

  // The release the SOFTWARE hive records: CurrentVersion ("5.1") and CSDVersion (none when
  // `servicePack` is empty). Laid out as XP with Service Pack 2, or 7 with Service Pack 1.
  void setRelease(const std::string& version, const std::string& servicePack);

  // Names a profile in the SOFTWARE hive's ProfileList: its key `sid`, its ProfileImagePath
  // (REG_EXPAND_SZ) `imagePath`. Every user of the layout is listed so at first.
  void listProfile(const std::string& sid, const std::string& imagePath);
  // The ProfileList key of the user `user` of the layout.
  static std::string sidOf(std::size_t user);
  // Sets a user's Environment value (TEMP or TMP, REG_EXPAND_SZ) in its NTUSER.DAT. Each user of
  // the layout has both, naming the layout's temporary folder through %USERPROFILE%.
  void setUserEnvironment(const std::string& user, const std::string& name,
                          const std::string& value);

  // Opens a hive for writing, lets `edit` change it, and commits it in place.
  void editHive(const std::string& relative, const std::function<void(hive_h*)>& edit);
  // Opens a hive read-only for `look`; false when hivex cannot open it.
  bool lookInHive(const std::string& relative, const std::function<void(hive_h*)>& look) const;

  // The hives that hold what Windows shows under `root`, and the path of `subkey` inside them.
  std::vector<std::string> hivesOf(platform::Handle root) const;
  static std::string keyInHive(platform::Handle root, const std::string& subkey);
  // A string value under a predefined root, in every hive that holds that root.
  void plant(const footprint::RegistryEntry& entry, const std::string& data = "msblast.exe");
  bool hasEverywhere(const footprint::RegistryEntry& entry) const;
  bool hasAnywhere(const footprint::RegistryEntry& entry) const;

  // A service key with its ImagePath, Type and Start, and an Enum subkey, in the control sets
  // numbered `sets` (1 is ControlSet001).
  void addService(const std::string& name, const std::string& binaryPath,
                  const std::vector<int>& sets = {1, 2});
  // The control sets that have the service's key.
  int controlSetsWithService(const std::string& name) const;

 private:
  void layOut();

  std::string root_;
  bool kept_ = false;
  Layout layout_;
  std::vector<std::string> users_;
  int controlSets_;
};

}  // namespace offline_test
