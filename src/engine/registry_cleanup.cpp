#include "engine/registry_cleanup.h"

#include <cstdint>

#include "platform/registry.h"
#include "scan/scan_log.h"
#include "scan/scan_record.h"
#include "scan/scan_session.h"
#include "system/service_control.h"

namespace {

// One step of the cleanup: a value under a root key, or a service (root kNoHandle).
struct RegistryCleanupStep {
  platform::Handle root;
  const char* subkey;
  const char* name;
};

constexpr const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kDefaultRun[] = ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char kRunServices[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
// The worm writes to a key named "Runon", not the system's run-once key.
constexpr const char kRunon[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Runon";
constexpr const char kDefaultRunon[] =
    ".Default\\Software\\Microsoft\\Windows\\CurrentVersion\\Runon";
// The three trailing blanks are part of the name the worm writes.
constexpr const char kNonton[] = "Nonton Antivirus   ";

using platform::kRootCurrentUser;
using platform::kRootLocalMachine;
using platform::kRootUsers;

// The order is the order in which the steps run; the services come between the values.
constexpr RegistryCleanupStep kRegistryCleanupSteps[] = {
    {kRootLocalMachine, kRun, "windows auto update"},
    {kRootCurrentUser, kRun, "windows auto update"},
    {kRootUsers, kDefaultRun, "windows auto update"},
    {kRootLocalMachine, kRun, "Microsoft Inet Xp.."},
    {kRootCurrentUser, kRun, "Microsoft Inet Xp.."},
    {kRootUsers, kDefaultRun, "Microsoft Inet Xp.."},
    {kRootLocalMachine, kRun, "Windows Root Account"},
    {kRootLocalMachine, kRunServices, "Windows Root Account"},
    {platform::kNoHandle, nullptr, "RpcTftpd"},
    {platform::kNoHandle, nullptr, "RpcPatch"},
    {kRootLocalMachine, kRunon, kNonton},
    {kRootCurrentUser, kRunon, kNonton},
    {kRootUsers, kDefaultRunon, kNonton},
    {platform::kNoHandle, nullptr, "WksPatch"},
};

// Receives the data of the value being tested; the data themselves are not used.
constexpr std::size_t kValueBufferSize = 1000;

// Closes `key`, reporting whether the close succeeded.
bool closedCleanly(platform::ScopedKey& key) {
  return platform::registry().closeKey(key.release()) == platform::kErrorSuccess;
}

}  // namespace

int registryValueExists(platform::Handle root, const char* subkey, const char* valueName,
                        void* buffer, std::size_t capacity, std::uint32_t view) {
  platform::Registry& registry = platform::registry();
  platform::Handle opened = platform::kNoHandle;
  if (registry.openKey(root, subkey, platform::kKeyRead | view, opened) !=
      platform::kErrorSuccess) {
    return 0;
  }
  platform::ScopedKey key(opened);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  if (registry.queryValue(key.get(), valueName, &type, nullptr, &size) != platform::kErrorSuccess) {
    return 0;
  }
  // The buffer's own capacity, never the value's size: data longer than the buffer are reported
  // as "more data", and the value is still there.
  size = capacity > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(capacity);
  long read = registry.queryValue(key.get(), valueName, &type, buffer, &size);
  if (read != platform::kErrorSuccess && read != platform::kErrorMoreData) return 0;

  return closedCleanly(key) ? 1 : 0;
}

int deleteRegistryValue(platform::Handle root, const char* subkey, const char* valueName,
                        std::uint32_t view) {
  platform::Registry& registry = platform::registry();
  platform::Handle opened = platform::kNoHandle;
  if (registry.openKey(root, subkey, platform::kKeyAllAccess | view, opened) !=
      platform::kErrorSuccess) {
    return 0;
  }
  platform::ScopedKey key(opened);
  if (registry.deleteValue(key.get(), valueName) != platform::kErrorSuccess) return 0;
  recordValueRemoved(root, subkey, valueName);
  return closedCleanly(key) ? 1 : 0;
}

int cleanWormRegistry(const char* virusName) {
  bool removed = false;
  unsigned char buffer[kValueBufferSize];
  // On 64-bit Windows a 32-bit worm's values lie in the 32-bit view and a 64-bit one's in the
  // other, whichever build this program is; each step looks in every view. Where a key is shared
  // by both, the second look finds the value gone.
  const platform::RegistryViews views = platform::registry().views();
  for (const RegistryCleanupStep& step : kRegistryCleanupSteps) {
    if (step.subkey == nullptr) {
      if (removeService(step.name, 1) != 0) removed = true;
      continue;
    }
    for (int i = 0; i < views.count; ++i) {
      const std::uint32_t view = views.access[i];
      if (registryValueExists(step.root, step.subkey, step.name, buffer, sizeof buffer, view) ==
              1 &&
          deleteRegistryValue(step.root, step.subkey, step.name, view) == 1) {
        removed = true;
      }
    }
  }
  if (removed && scanSession().scanDialogWindow != 0) {
    appendFindingLine("System Registry", "     ", virusName != nullptr ? virusName : "", "removed");
  }
  return 1;
}
