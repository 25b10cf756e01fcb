// The worm's footprint planted in the real registry and service control manager of the Wine
// prefix, with the decoys that must survive a cleanup.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "contract/worm_footprint.h"
#include "windows/service_support.h"

namespace wintest {

bool valueExists(const footprint::RegistryEntry& entry);
std::string describe(const footprint::RegistryEntry& entry);

// What a cleanup left wrong: every worm value or service still there and every decoy gone, one
// per line; empty when the worm's footprint is gone and the decoys all stay.
std::string cleanupMistakes();

// Writes every worm value and decoy and creates the services: RpcPatch running our own test
// service (slow to stop), the other two and the decoy stopped. Whatever is left at the end is
// removed, and the keys it had to make are deleted again.
class PlantedWorm {
 public:
  PlantedWorm();
  ~PlantedWorm();
  PlantedWorm(const PlantedWorm&) = delete;
  PlantedWorm& operator=(const PlantedWorm&) = delete;

  // Empty when everything was planted; otherwise what failed.
  const std::string& failure() const { return failure_; }

 private:
  void plant(const footprint::RegistryEntry& entry);

  std::vector<std::pair<platform::Handle, std::string>> madeKeys_;
  std::vector<std::unique_ptr<TestService>> services_;
  std::string failure_;
};

}  // namespace wintest
