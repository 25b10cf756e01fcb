// The registry part of the seam over the hives of a mounted installation:
//   HKEY_LOCAL_MACHINE\Software\...  the SOFTWARE hive
//   HKEY_LOCAL_MACHINE\System\...    the SYSTEM hive
//   HKEY_USERS\.Default\...          the DEFAULT hive
//   HKEY_CURRENT_USER\...            every user's NTUSER.DAT together: a key exists when it
//                                    exists in at least one of them, a value is read from the
//                                    first that has a copy that can be read, and deleting a
//                                    value deletes it from every one that has it, each hive on
//                                    its own.
// In each hive a value is every value of its key that answers to the name (a hive may hold
// several, in any letter case), and all of them go together. A key, list or value that a hive
// cannot read there, or a key name two keys answer to, is reported with the hive
// (InstallationHives::problems()) and leaves that hive out; it is never taken as absent.
// Anything else (other subkeys of those roots, HKEY_PERFORMANCE_DATA) does not exist offline.
// Deletions change the hives in memory; InstallationHives::commitChanged() writes them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/offline/installation_hives.h"
#include "platform/registry.h"

namespace platform::offline {

// A hive could not take a change (see InstallationHives::problems() for which and why):
// ERROR_REGISTRY_IO_FAILED, as the system reports a hive it cannot write.
constexpr long kErrorRegistryIo = 1016;

class OfflineRegistry : public Registry {
 public:
  explicit OfflineRegistry(InstallationHives& hives) : hives_(hives) {}

  // Registry, with the failure contracts of platform/registry.h. Keys opened stay valid when
  // other keys are deleted: each call finds its key again by its path.
  long openKey(Handle root, const char* subkey, std::uint32_t access, Handle& key) override;
  long queryValue(Handle key, const char* name, std::uint32_t* type, void* data,
                  std::uint32_t* size) override;
  long deleteValue(Handle key, const char* name) override;
  long closeKey(Handle key) override;

  std::size_t openKeyCount() const { return open_.size(); }

 private:
  // A key in one hive, by its path from the hive's root (UTF-8 components).
  struct Location {
    HiveFile* hive = nullptr;
    std::vector<std::string> path;
  };
  // An open key: the places it is found in, or a root above the hives (HKEY_LOCAL_MACHINE or
  // HKEY_USERS itself), which holds no values.
  struct OpenKey {
    Handle virtualRoot = kNoHandle;
    std::vector<Location> locations;
    std::uint32_t access = 0;
  };

  // What `handle` (a predefined root or an open key) stands for; false for anything else.
  bool resolve(Handle handle, OpenKey& key) const;
  // The locations below a root above the hives that `components` lead to; the first component
  // chooses the hive and is taken off.
  std::vector<Location> belowVirtualRoot(Handle root, std::vector<std::string>& components) const;

  InstallationHives& hives_;
  std::map<Handle, OpenKey> open_;
  Handle next_ = 0x1000;
};

}  // namespace platform::offline
