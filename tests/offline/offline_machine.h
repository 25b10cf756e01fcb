// An installation tree seen through the offline implementation of the seam: the rooted tree,
// the installation found in it, its hives open in memory, and the registry and services over
// them. Tests lay out and plant the tree first, then open() it, which installs that registry and
// those services as the platform's over whatever is installed (a SimulatedWindows, for the rest).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "offline/installation_tree.h"
#include "platform/offline/installation.h"
#include "platform/offline/installation_hives.h"
#include "platform/offline/offline_registry.h"
#include "platform/offline/offline_services.h"
#include "platform/offline/rooted_tree.h"
#include "platform/os.h"

namespace offline_test {

class OfflineMachine {
 public:
  explicit OfflineMachine(Layout layout = Layout::kXp,
                          std::vector<std::string> users = {"alice", "bob"}, int controlSets = 2)
      : tree(layout, std::move(users), controlSets) {}
  ~OfflineMachine() {
    installed.reset();
    if (registry) {
      EXPECT_EQ(registry->openKeyCount(), 0u) << "registry keys left open";
    }
    if (services) {
      EXPECT_EQ(services->openHandleCount(), 0u) << "service handles left open";
    }
  }

  void open() {
    ASSERT_TRUE(rooted.open(tree.root().c_str()));
    installation = platform::offline::findInstallation(rooted);
    hives.open(rooted, installation);
    registry = std::make_unique<platform::offline::OfflineRegistry>(hives);
    services = std::make_unique<platform::offline::OfflineServices>(hives);
    platform::Os os = platform::installed();
    os.registry = registry.get();
    os.services = services.get();
    installed = std::make_unique<platform::ScopedInstall>(os);
  }

  // Every problem the hives met, one a line, for the message of a failed assertion.
  std::string problems() const {
    std::string text;
    for (const auto& problem : hives.problems()) text += problem.path + ": " + problem.what + "\n";
    return text;
  }

  InstallationTree tree;
  platform::offline::RootedTree rooted;
  platform::offline::Installation installation;
  platform::offline::InstallationHives hives;
  std::unique_ptr<platform::offline::OfflineRegistry> registry;
  std::unique_ptr<platform::offline::OfflineServices> services;
  std::unique_ptr<platform::ScopedInstall> installed;
};

}  // namespace offline_test
