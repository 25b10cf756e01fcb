#include "platform/offline/installation_hives.h"

#include <cstring>

namespace platform::offline {
namespace {

std::string openFailure(const HiveFile::OpenError& error) {
  if (error.tree != TreeError::kNone) {
    std::string what = std::string("cannot be opened: ") + describe(error.tree);
    if (error.tree == TreeError::kSystem)
      what += std::string(" (") + std::strerror(error.systemError) + ")";
    return what;
  }
  if (error.fault != HiveFault::kNone)
    return std::string("left untouched: ") + describe(error.fault);
  if (!error.child.empty()) return "its reader failed (" + error.child + "); left untouched";
  return std::string("hivex cannot read it (") + std::strerror(error.systemError) +
         "); left untouched";
}

}  // namespace

InstallationHives::InstallationHives() {
  sandbox_.report = [this](const HiveFile& hive, const std::string& what) { note(hive, what); };
}

std::unique_ptr<HiveFile> InstallationHives::openOne(RootedTree& tree, const std::string& folder,
                                                     const std::string& name) {
  std::string path = folder + "\\" + name;
  if (name.empty()) return nullptr;
  HiveFile::OpenError error;
  std::unique_ptr<HiveFile> hive = HiveFile::open(tree, folder, name.c_str(), error, sandbox_);
  if (!hive) problems_.push_back({path, openFailure(error)});
  return hive;
}

void InstallationHives::open(RootedTree& tree, const Installation& installation) {
  if (installation.kind != InstallationKind::kNtFamily) return;
  const std::string& config = installation.configFolder;
  software_ = openOne(tree, config, installation.softwareHive);
  if (installation.systemHive.empty()) {
    problems_.push_back({config + "\\SYSTEM", "not found: the services cannot be cleaned"});
  } else {
    system_ = openOne(tree, config, installation.systemHive);
  }
  if (installation.defaultHive.empty()) {
    problems_.push_back(
        {config + "\\DEFAULT", "not found: HKEY_USERS\\.Default cannot be cleaned"});
  } else {
    defaultUser_ = openOne(tree, config, installation.defaultHive);
  }
  for (const UserProfile& user : installation.users) {
    if (user.hiveName.empty()) continue;
    if (std::unique_ptr<HiveFile> hive = openOne(tree, user.folder, user.hiveName)) {
      users_.push_back(std::move(hive));
    }
  }
}

std::vector<HiveFile*> InstallationHives::users() const {
  std::vector<HiveFile*> hives;
  for (const std::unique_ptr<HiveFile>& hive : users_) hives.push_back(hive.get());
  return hives;
}

std::vector<HiveFile*> InstallationHives::all() const {
  std::vector<HiveFile*> hives;
  for (HiveFile* hive : {software_.get(), system_.get(), defaultUser_.get()}) {
    if (hive != nullptr) hives.push_back(hive);
  }
  for (HiveFile* hive : users()) hives.push_back(hive);
  return hives;
}

void InstallationHives::note(const HiveFile& hive, const std::string& what) {
  problems_.push_back({hive.path(), what});
}

void InstallationHives::noteChange(const HiveFile& hive, const std::string& what) {
  changes_.push_back({hive.path(), what});
}

bool InstallationHives::commitChanged(const CommitOptions& options,
                                      std::vector<Committed>& committed) {
  bool allCommitted = true;
  for (HiveFile* hive : all()) {
    if (!hive->changed()) continue;
    CommitResult result = hive->commit(options);
    if (!result.committed()) {
      std::string what = std::string("not changed: ") + describe(result.step);
      if (!result.detail.empty()) what += " (" + result.detail + ")";
      if (result.systemError != 0)
        what += std::string(" (") + std::strerror(result.systemError) + ")";
      note(*hive, what);
      allCommitted = false;
      continue;
    }
    committed.push_back({hive->path(), result.backupName});
    if (!result.folderFlushed) note(*hive, "replaced, but its folder could not be flushed");
    if (!result.attributesCarried) {
      note(*hive, "replaced, but without all of the original's permissions and attributes");
    }
  }
  return allCommitted;
}

}  // namespace platform::offline
