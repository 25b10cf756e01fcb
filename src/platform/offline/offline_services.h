// The service part of the seam over the SYSTEM hive of a mounted installation. Nothing runs
// offline: no service is active, none can be stopped, and every one is reported stopped. A
// service is the key Services\<name> of any control set (ControlSet001, ControlSet002, ...);
// deleting it deletes that key, with its subkeys, from every control set that has it, in
// memory until InstallationHives::commitChanged().
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/offline/installation_hives.h"
#include "platform/services.h"

namespace platform::offline {

class OfflineServices : public Services {
 public:
  explicit OfflineServices(InstallationHives& hives) : hives_(hives) {}

  // Services, with the contracts of platform/services.h. The manager cannot be opened when the
  // installation's SYSTEM hive is not open.
  Handle openManager(std::uint32_t access) override;
  // Always reports no active service: `needed` and `returned` 0, every entry fitted.
  bool enumerateActive(Handle manager, void* buffer, std::uint32_t size, std::uint32_t& needed,
                       std::uint32_t& returned) override;
  Handle openService(Handle manager, const char* name, std::uint32_t access) override;
  // The service's ImagePath as stored, from the first control set that has one.
  bool queryBinaryPath(Handle service, char* path, std::size_t capacity) override;
  // Always false: nothing runs offline.
  bool controlStop(Handle service, std::uint32_t& state) override;
  bool queryState(Handle service, std::uint32_t& state) override;
  bool deleteService(Handle service) override;
  bool closeHandle(Handle handle) override;

  std::size_t openHandleCount() const { return managers_.size() + services_.size(); }

 private:
  struct OpenService {
    std::string name;  // UTF-8, as looked up
    std::uint32_t access = 0;
  };

  // The number of control sets that have the key of service `name`.
  int serviceKeyCount(const std::string& name) const;
  // The service behind `handle` when it was opened with every right in `needs` and still exists.
  const OpenService* serviceFor(Handle handle, std::uint32_t needs) const;

  InstallationHives& hives_;
  std::map<Handle, std::uint32_t> managers_;
  std::map<Handle, OpenService> services_;
  Handle next_ = 0x2000;
};

}  // namespace platform::offline
