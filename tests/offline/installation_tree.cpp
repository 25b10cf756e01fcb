#include "offline/installation_tree.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "offline/hive_builder.h"

namespace offline_test {
namespace {

const char kRun[] = R"(Microsoft\Windows\CurrentVersion\Run)";
const char kCurrentVersion[] = R"(Microsoft\Windows NT\CurrentVersion)";
const char kProfileList[] = R"(Microsoft\Windows NT\CurrentVersion\ProfileList)";

std::string slashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string controlSetName(int number) {
  char name[24];
  std::snprintf(name, sizeof name, "ControlSet%03d", number);
  return name;
}

}  // namespace

InstallationTree::InstallationTree(Layout layout, std::vector<std::string> users, int controlSets)
    : layout_(layout), users_(std::move(users)), controlSets_(controlSets) {
  char pattern[] = "/tmp/vandrel-offline-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) {
    ADD_FAILURE() << "cannot make a temporary folder";
    return;
  }
  root_ = made;
  layOut();
}

InstallationTree::InstallationTree(Layout layout, const KeptAt& where,
                                   std::vector<std::string> users, int controlSets)
    : root_(where.folder),
      kept_(true),
      layout_(layout),
      users_(std::move(users)),
      controlSets_(controlSets) {
  if (where.existing) return;
  std::error_code error;
  if (!std::filesystem::create_directory(root_, error)) {
    ADD_FAILURE() << "cannot make " << root_ << " (it must not exist yet)";
    return;
  }
  layOut();
}

void InstallationTree::layOut() {
  if (layout_ == Layout::kNineX) {
    // The 95/98/Me registry files begin "CREG"; they are not hives.
    addFile(windowsFolder() + "\\SYSTEM.DAT", std::string("CREG") + std::string(60, '\0'));
    addFile(windowsFolder() + "\\USER.DAT", std::string("CREG") + std::string(60, '\0'));
    addFolder(windowsFolder() + "\\TEMP");
    return;
  }
  addFolder(configFolder());
  addFolder(windowsFolder() + "\\Temp");
  writeHive(host(softwareHive()),
            [](hive_h* hive) { setString(hive, kRun, "Sound Mixer", R"(C:\WINDOWS\mixer.exe)"); });
  if (layout_ == Layout::kXp) {
    setRelease("5.1", "Service Pack 2");
  } else {
    setRelease("6.1", "Service Pack 1");
  }
  writeHive(host(systemHive()), [this](hive_h* hive) {
    setDword(hive, "Select", "Current", 1);
    setDword(hive, "Select", "LastKnownGood", static_cast<std::uint32_t>(controlSets_));
    for (int set = 1; set <= controlSets_; ++set) {
      setString(hive, controlSetName(set) + R"(\Services\Tcpip)", "ImagePath",
                R"(system32\DRIVERS\tcpip.sys)", 2);
      setString(hive, controlSetName(set) + R"(\Control\ProductOptions)", "ProductType", "WinNT");
    }
  });
  auto userRun = [](hive_h* hive) {
    setString(hive, R"(Software\Microsoft\Windows\CurrentVersion\Run)", "ctfmon.exe",
              R"(C:\WINDOWS\system32\ctfmon.exe)");
  };
  writeHive(host(defaultHive()), userRun);
  editHive(softwareHive(), [this](hive_h* hive) {
    setString(hive, kProfileList, "ProfilesDirectory",
              layout_ == Layout::kXp ? R"(%SystemDrive%\Documents and Settings)"
                                     : R"(%SystemDrive%\Users)",
              2);
  });
  for (std::size_t i = 0; i < users_.size(); ++i) {
    const std::string& user = users_[i];
    addFolder(userTemp(user));
    writeHive(host(userHive(user)), userRun);
    // As each version writes them: 2000 and XP through the variables, later versions whole.
    listProfile(sidOf(i), layout_ == Layout::kXp ? R"(%SystemDrive%\Documents and Settings\)" + user
                                                 : R"(C:\Users\)" + user);
    std::string temp = layout_ == Layout::kXp ? R"(%USERPROFILE%\Local Settings\Temp)"
                                              : R"(%USERPROFILE%\AppData\Local\Temp)";
    setUserEnvironment(user, "TEMP", temp);
    setUserEnvironment(user, "TMP", temp);
  }
  if (layout_ == Layout::kXp) {
    addFolder(R"(Documents and Settings\All Users\Desktop)");
  } else {
    addFolder(R"(Users\Public\Documents)");
    std::filesystem::create_directory_symlink("Users", host("Documents and Settings"));
  }
}

std::string InstallationTree::sidOf(std::size_t user) {
  return "S-1-5-21-1004336348-1177238915-682003330-" + std::to_string(1003 + user);
}

void InstallationTree::listProfile(const std::string& sid, const std::string& imagePath) {
  editHive(softwareHive(), [&](hive_h* hive) {
    setString(hive, std::string(kProfileList) + "\\" + sid, "ProfileImagePath", imagePath, 2);
  });
}

void InstallationTree::setUserEnvironment(const std::string& user, const std::string& name,
                                          const std::string& value) {
  editHive(userHive(user), [&](hive_h* hive) { setString(hive, "Environment", name, value, 2); });
}

void InstallationTree::setRelease(const std::string& version, const std::string& servicePack) {
  editHive(softwareHive(), [&](hive_h* hive) {
    hive_node_h key = ensureKey(hive, kCurrentVersion);
    // The key's values are replaced as a whole, so that a service pack can be taken away.
    std::string versionData = utf16(version) + std::string(2, '\0');
    std::string servicePackData = utf16(servicePack) + std::string(2, '\0');
    char versionName[] = "CurrentVersion";
    char servicePackName[] = "CSDVersion";
    hive_set_value values[] = {
        {versionName, hive_t_REG_SZ, versionData.size(), &versionData[0]},
        {servicePackName, hive_t_REG_SZ, servicePackData.size(), &servicePackData[0]},
    };
    std::size_t count = servicePack.empty() ? 1 : 2;
    EXPECT_EQ(hivex_node_set_values(hive, key, count, values, 0), 0);
  });
}

InstallationTree::~InstallationTree() {
  if (!root_.empty() && !kept_) std::filesystem::remove_all(root_);
}

std::string InstallationTree::host(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + slashes(relative);
}

void InstallationTree::addFolder(const std::string& relative) {
  std::filesystem::create_directories(host(relative));
}

void InstallationTree::addFile(const std::string& relative, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(host(relative)).parent_path());
  std::ofstream(host(relative), std::ios::binary | std::ios::trunc) << bytes;
}

std::string InstallationTree::fileBytes(const std::string& relative) const {
  std::ifstream file(host(relative), std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<std::string> InstallationTree::folderNames(const std::string& relative) const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(host(relative))) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string InstallationTree::windowsFolder() const {
  return layout_ == Layout::kSeven ? "Windows" : "WINDOWS";
}

std::string InstallationTree::configFolder() const {
  return windowsFolder() +
         (layout_ == Layout::kSeven ? R"(\System32\config)" : R"(\system32\config)");
}

std::string InstallationTree::profileFolder(const std::string& user) const {
  return (layout_ == Layout::kSeven ? "Users\\" : "Documents and Settings\\") + user;
}

std::string InstallationTree::userTemp(const std::string& user) const {
  return profileFolder(user) +
         (layout_ == Layout::kSeven ? R"(\AppData\Local\Temp)" : R"(\Local Settings\Temp)");
}

std::vector<std::string> InstallationTree::userHives() const {
  std::vector<std::string> hives;
  for (const std::string& user : users_) hives.push_back(userHive(user));
  return hives;
}

std::vector<std::string> InstallationTree::controlSets() const {
  std::vector<std::string> names;
  for (int set = 1; set <= controlSets_; ++set) names.push_back(controlSetName(set));
  return names;
}

void InstallationTree::editHive(const std::string& relative,
                                const std::function<void(hive_h*)>& edit) {
  hive_h* hive = hivex_open(host(relative).c_str(), HIVEX_OPEN_WRITE);
  ASSERT_NE(hive, nullptr) << relative;
  edit(hive);
  EXPECT_EQ(hivex_commit(hive, nullptr, 0), 0) << relative;
  hivex_close(hive);
}

bool InstallationTree::lookInHive(const std::string& relative,
                                  const std::function<void(hive_h*)>& look) const {
  return readHive(host(relative), look);
}

std::vector<std::string> InstallationTree::hivesOf(platform::Handle root) const {
  if (root == platform::kRootLocalMachine) return {softwareHive()};
  if (root == platform::kRootUsers) return {defaultHive()};
  return userHives();
}

std::string InstallationTree::keyInHive(platform::Handle root, const std::string& subkey) {
  // HKLM\Software is the SOFTWARE hive's root, HKU\.Default the DEFAULT hive's.
  if (root == platform::kRootCurrentUser) return subkey;
  return subkey.substr(subkey.find('\\') + 1);
}

void InstallationTree::plant(const footprint::RegistryEntry& entry, const std::string& data) {
  for (const std::string& hive : hivesOf(entry.root)) {
    editHive(hive, [&](hive_h* h) {
      setString(h, keyInHive(entry.root, entry.subkey), entry.name, data);
    });
  }
}

bool InstallationTree::hasEverywhere(const footprint::RegistryEntry& entry) const {
  bool everywhere = true;
  for (const std::string& hive : hivesOf(entry.root)) {
    bool here = false;
    lookInHive(hive, [&](hive_h* h) {
      here = valueBytes(h, keyInHive(entry.root, entry.subkey), entry.name).size() > 0;
    });
    everywhere = everywhere && here;
  }
  return everywhere;
}

bool InstallationTree::hasAnywhere(const footprint::RegistryEntry& entry) const {
  bool anywhere = false;
  for (const std::string& hive : hivesOf(entry.root)) {
    lookInHive(hive, [&](hive_h* h) {
      anywhere =
          anywhere || valueBytes(h, keyInHive(entry.root, entry.subkey), entry.name).size() > 0;
    });
  }
  return anywhere;
}

void InstallationTree::addService(const std::string& name, const std::string& binaryPath,
                                  const std::vector<int>& sets) {
  editHive(systemHive(), [&](hive_h* hive) {
    for (int set : sets) {
      std::string key = controlSetName(set) + R"(\Services\)" + name;
      setString(hive, key, "ImagePath", binaryPath, 2);
      setDword(hive, key, "Type", 0x10);
      setDword(hive, key, "Start", 2);
      setDword(hive, key + R"(\Enum)", "Count", 1);
    }
  });
}

int InstallationTree::controlSetsWithService(const std::string& name) const {
  int sets = 0;
  lookInHive(systemHive(), [&](hive_h* hive) {
    for (const std::string& set : controlSets()) sets += hasKey(hive, set + R"(\Services\)" + name);
  });
  return sets;
}

}  // namespace offline_test
