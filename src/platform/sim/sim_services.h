// The simulated machine's service control manager: services with a binary path (kept exactly
// as given, quotes and arguments included) and a state; stopping takes virtual time; a deleted
// service disappears once it has stopped and nobody holds a handle to it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_handles.h"

namespace sim {

enum class ServiceFault {
  QueryConfig,  // its configuration cannot be read
  QueryStatus,  // its status cannot be read
  Delete,       // it cannot be deleted
};

class SimServices : public platform::Services {
 public:
  // A stop delay for a service that never gets past stop-pending.
  static constexpr std::uint32_t kNeverStops = ~std::uint32_t{0};

  SimServices(SimHandles& handles, SimClock& clock) : handles_(handles), clock_(clock) {}

  // Building the machine. Names compare case-insensitively; adding an existing name replaces it.
  void addService(const std::string& name, const std::string& binaryPath,
                  std::uint32_t state = platform::kServiceRunning,
                  std::uint32_t type = platform::kServiceWin32OwnProcess);
  // After a stop request the service stays stop-pending for this much virtual time.
  void setStopDelay(const std::string& name, std::uint32_t milliseconds);
  // The service does not accept the stop control: it goes on running.
  void refuseStop(const std::string& name);
  // The service may then be opened only for rights within `granted` (0: not at all).
  void restrictAccess(const std::string& name, std::uint32_t granted);
  void inject(ServiceFault fault, const std::string& name);
  // The manager cannot be opened (no rights, or the service is not available).
  void denyManager() { managerDenied_ = true; }
  // Called with the binary path of every service that stops, so that its process can end.
  void onStopped(std::function<void(const std::string& binaryPath)> hook) {
    stoppedHook_ = std::move(hook);
  }

  // Looking at the machine.
  bool hasService(const std::string& name);
  // The current state, 0 for a service that does not exist.
  std::uint32_t stateOf(const std::string& name);
  bool markedForDeletion(const std::string& name) const;
  int stopRequests() const { return stopRequests_; }
  // The buffer size passed to every enumeration, in order.
  const std::vector<std::uint32_t>& enumerationSizes() const { return enumerationSizes_; }
  std::string dump() const;

  // platform::Services
  platform::Handle openManager(std::uint32_t access) override;
  bool enumerateActive(platform::Handle manager, void* buffer, std::uint32_t size,
                       std::uint32_t& needed, std::uint32_t& returned) override;
  platform::Handle openService(platform::Handle manager, const char* name,
                               std::uint32_t access) override;
  bool queryBinaryPath(platform::Handle service, char* path, std::size_t capacity) override;
  bool controlStop(platform::Handle service, std::uint32_t& state) override;
  bool queryState(platform::Handle service, std::uint32_t& state) override;
  bool deleteService(platform::Handle service) override;
  bool closeHandle(platform::Handle handle) override;

 private:
  struct Service {
    std::string name;  // as added
    std::string binaryPath;
    std::uint32_t type = platform::kServiceWin32OwnProcess;
    std::uint32_t state = platform::kServiceStopped;
    std::uint32_t stopDelay = 0;
    std::uint64_t stopsAt = 0;  // while stop-pending
    bool refusesStop = false;
    bool marked = false;
    std::uint32_t granted = ~std::uint32_t{0};
  };
  struct OpenService {
    std::string key;
    std::uint32_t access = 0;
  };

  Service* find(const std::string& name);
  const Service* find(const std::string& name) const;
  // The service behind an open handle that was opened with every right in `needs`.
  Service* serviceFor(platform::Handle handle, std::uint32_t needs);
  bool faulty(ServiceFault fault, const Service& service) const;
  void announceStopped(const std::vector<std::string>& binaryPaths);
  // Brings every service up to the current virtual time: pending stops complete, and stopped
  // services marked for deletion that nobody holds are removed.
  void settle();

  SimHandles& handles_;
  SimClock& clock_;
  std::map<std::string, Service> services_;  // by upper-cased name, so enumerated alphabetically
  std::map<platform::Handle, std::uint32_t> managers_;
  std::map<platform::Handle, OpenService> open_;
  std::set<std::pair<ServiceFault, std::string>> faults_;
  std::function<void(const std::string&)> stoppedHook_;
  std::vector<std::uint32_t> enumerationSizes_;
  bool managerDenied_ = false;
  int stopRequests_ = 0;
};

}  // namespace sim
