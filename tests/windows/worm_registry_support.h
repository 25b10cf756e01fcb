// The worm's start-up values and services, planted in the real registry and service control
// manager of the Wine prefix together with decoys that must survive a cleanup.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "windows/service_support.h"

namespace wintest {

struct RegistryEntry {
  HKEY root;
  std::string subkey;
  std::string name;
};

// Every start-up value the variants write, written out here independently of the program.
const std::vector<RegistryEntry>& wormValues();
// Values that look like the worm's but are not: a name without its trailing blanks, the right
// names under the system's run-once key.
const std::vector<RegistryEntry>& decoyValues();
// The services the variants install.
const std::vector<std::string>& wormServiceNames();
// A service beside them that is not the worm's.
constexpr char kDecoyService[] = "RpcPatchHelper";

bool valueExists(const RegistryEntry& entry);
std::string describe(const RegistryEntry& entry);

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
  void plant(const RegistryEntry& entry);

  std::vector<std::pair<HKEY, std::string>> madeKeys_;
  std::vector<std::unique_ptr<TestService>> services_;
  std::string failure_;
};

}  // namespace wintest
