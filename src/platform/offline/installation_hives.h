// The hives of one NT-family installation: SOFTWARE, SYSTEM and DEFAULT of the machine and
// every user's NTUSER.DAT, each held by an unprivileged editor child (hive_file.h), never in
// this process. A hive that cannot be opened is left untouched on disk and noted; the others
// serve on. Nothing reaches the disk before commitChanged().
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/offline/hive_file.h"
#include "platform/offline/installation.h"
#include "platform/offline/rooted_tree.h"

namespace platform::offline {

class InstallationHives {
 public:
  // Something the rescue must report: the hive's path below the root, and what happened.
  struct Problem {
    std::string path;
    std::string what;
  };

  InstallationHives();
  InstallationHives(const InstallationHives&) = delete;
  InstallationHives& operator=(const InstallationHives&) = delete;

  // The children that read and edit the hives (hive_file.h): set their settings before open().
  HiveSandbox& sandbox() { return sandbox_; }

  // Opens every hive `installation` names (none for a 95/98/Me installation). Each is read by
  // an editor child of its own; at most sandbox().settings.liveEditors are alive at once, the
  // others' changes held in memory files.
  void open(RootedTree& tree, const Installation& installation);

  // Null when the hive is absent or could not be opened.
  HiveFile* software() const { return software_.get(); }
  HiveFile* system() const { return system_.get(); }
  HiveFile* defaultUser() const { return defaultUser_.get(); }
  // The users' hives that could be opened, in the installation's order of profiles.
  std::vector<HiveFile*> users() const;
  // Every hive that is open.
  std::vector<HiveFile*> all() const;

  // Records a problem with `hive` for the rescue's report.
  void note(const HiveFile& hive, const std::string& what);
  const std::vector<Problem>& problems() const { return problems_; }

  // Records a change made to `hive` in memory ("value ... removed", "key ... deleted"), so that
  // a dry run can say what a real one would change.
  void noteChange(const HiveFile& hive, const std::string& what);
  const std::vector<Problem>& changes() const { return changes_; }

  // A hive replaced on disk, and the name its original was kept under ("" when none was).
  struct Committed {
    std::string path;
    std::string backupName;
  };
  // Commits every changed hive (see HiveFile::commit). False when any commit failed; each
  // failure is among problems(). `committed` receives the hives replaced.
  bool commitChanged(const CommitOptions& options, std::vector<Committed>& committed);

 private:
  std::unique_ptr<HiveFile> openOne(RootedTree& tree, const std::string& folder,
                                    const std::string& name);

  HiveSandbox sandbox_;
  std::unique_ptr<HiveFile> software_;
  std::unique_ptr<HiveFile> system_;
  std::unique_ptr<HiveFile> defaultUser_;
  std::vector<std::unique_ptr<HiveFile>> users_;
  std::vector<Problem> problems_;
  std::vector<Problem> changes_;
};

}  // namespace platform::offline
