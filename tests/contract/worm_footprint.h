// The worm's footprint in the registry and the service manager, written out for the tests
// independently of the program, and decoys beside it that a cleanup must leave alone. Shared by
// the Linux tests and the tests under Wine.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace footprint {

struct RegistryEntry {
  platform::Handle root;
  std::string subkey;
  std::string name;
};

inline const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
inline const std::string kRunServices = R"(Software\Microsoft\Windows\CurrentVersion\RunServices)";
inline const std::string kRunon = R"(Software\Microsoft\Windows\CurrentVersion\Runon)";
inline const std::string kRunOnce = R"(Software\Microsoft\Windows\CurrentVersion\RunOnce)";
inline const std::string kDefault = ".Default\\";

// Every start-up value the variants write.
inline const std::vector<RegistryEntry>& wormValues() {
  using namespace platform;
  static const std::vector<RegistryEntry> values = {
      {kRootLocalMachine, kRun, "windows auto update"},
      {kRootCurrentUser, kRun, "windows auto update"},
      {kRootUsers, kDefault + kRun, "windows auto update"},
      {kRootLocalMachine, kRun, "Microsoft Inet Xp.."},
      {kRootCurrentUser, kRun, "Microsoft Inet Xp.."},
      {kRootUsers, kDefault + kRun, "Microsoft Inet Xp.."},
      {kRootLocalMachine, kRun, "Windows Root Account"},
      {kRootLocalMachine, kRunServices, "Windows Root Account"},
      {kRootLocalMachine, kRunon, "Nonton Antivirus   "},
      {kRootCurrentUser, kRunon, "Nonton Antivirus   "},
      {kRootUsers, kDefault + kRunon, "Nonton Antivirus   "},
  };
  return values;
}

// Near misses: the names without their trailing blanks, the right names under the system's
// run-once key or under a root the worm does not use for them.
inline const std::vector<RegistryEntry>& decoyValues() {
  using namespace platform;
  static const std::vector<RegistryEntry> values = {
      {kRootLocalMachine, kRunon, "Nonton Antivirus"},
      {kRootCurrentUser, kRunon, "Nonton Antivirus "},
      {kRootUsers, kDefault + kRunon, "Nonton Antivirus"},
      {kRootLocalMachine, kRunOnce, "Nonton Antivirus   "},
      {kRootCurrentUser, kRunOnce, "windows auto update"},
      {kRootUsers, kDefault + kRunOnce, "Microsoft Inet Xp.."},
      {kRootLocalMachine, kRunOnce, "Windows Root Account"},
      {kRootCurrentUser, kRunServices, "Windows Root Account"},
      {kRootLocalMachine, kRun, "windows auto update2"},
  };
  return values;
}

// The services the variants install, and one beside them that is not the worm's.
inline const std::vector<std::string>& wormServiceNames() {
  static const std::vector<std::string> names = {"RpcTftpd", "RpcPatch", "WksPatch"};
  return names;
}
inline const char kDecoyService[] = "RpcPatchHelper";

}  // namespace footprint
