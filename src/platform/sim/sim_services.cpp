#include "platform/sim/sim_services.h"

#include <cctype>
#include <cstring>

#include "common/bounded_text.h"

namespace sim {
namespace {

// The individual rights each operation needs, as the system checks them.
constexpr std::uint32_t kManagerEnumerateRight = 0x0004;
constexpr std::uint32_t kQueryConfigRight = 0x0001;
constexpr std::uint32_t kQueryStatusRight = 0x0004;
constexpr std::uint32_t kStopRight = 0x0020;
constexpr std::uint32_t kWin32Types =
    platform::kServiceWin32OwnProcess | platform::kServiceWin32ShareProcess;

std::string upper(const std::string& text) {
  std::string result = text;
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

const char* stateName(std::uint32_t state) {
  switch (state) {
    case platform::kServiceStopped:
      return "stopped";
    case platform::kServiceStartPending:
      return "start-pending";
    case platform::kServiceStopPending:
      return "stop-pending";
    case platform::kServiceRunning:
      return "running";
    default:
      return "other";
  }
}

}  // namespace

void SimServices::addService(const std::string& name, const std::string& binaryPath,
                             std::uint32_t state, std::uint32_t type) {
  Service service;
  service.name = name;
  service.binaryPath = binaryPath;
  service.state = state;
  service.type = type;
  services_[upper(name)] = service;
}

SimServices::Service* SimServices::find(const std::string& name) {
  auto it = services_.find(upper(name));
  return it == services_.end() ? nullptr : &it->second;
}

const SimServices::Service* SimServices::find(const std::string& name) const {
  auto it = services_.find(upper(name));
  return it == services_.end() ? nullptr : &it->second;
}

void SimServices::setStopDelay(const std::string& name, std::uint32_t milliseconds) {
  if (Service* service = find(name)) service->stopDelay = milliseconds;
}

void SimServices::refuseStop(const std::string& name) {
  if (Service* service = find(name)) service->refusesStop = true;
}

void SimServices::restrictAccess(const std::string& name, std::uint32_t granted) {
  if (Service* service = find(name)) service->granted = granted;
}

void SimServices::inject(ServiceFault fault, const std::string& name) {
  faults_.emplace(fault, upper(name));
}

bool SimServices::faulty(ServiceFault fault, const Service& service) const {
  return faults_.count({fault, upper(service.name)}) != 0;
}

bool SimServices::hasService(const std::string& name) {
  settle();
  return find(name) != nullptr;
}

std::uint32_t SimServices::stateOf(const std::string& name) {
  settle();
  const Service* service = find(name);
  return service == nullptr ? 0 : service->state;
}

bool SimServices::markedForDeletion(const std::string& name) const {
  const Service* service = find(name);
  return service != nullptr && service->marked;
}

std::string SimServices::dump() const {
  std::string text = "services:\n";
  for (const auto& [key, service] : services_) {
    text += "  " + service.name + " [" + service.binaryPath + "] " + stateName(service.state);
    if (service.refusesStop) text += " refuses-stop";
    if (service.marked) text += " marked-for-deletion";
    text += "\n";
  }
  return text;
}

void SimServices::announceStopped(const std::vector<std::string>& binaryPaths) {
  // Called once the table is consistent again: the hook may look at the machine or change it.
  if (!stoppedHook_) return;
  for (const std::string& binaryPath : binaryPaths) stoppedHook_(binaryPath);
}

void SimServices::settle() {
  std::vector<std::string> stopped;
  for (auto& [key, service] : services_) {
    if (service.state == platform::kServiceStopPending && service.stopDelay != kNeverStops &&
        clock_.now() >= service.stopsAt) {
      service.state = platform::kServiceStopped;
      stopped.push_back(service.binaryPath);
    }
  }
  for (auto it = services_.begin(); it != services_.end();) {
    bool held = false;
    for (const auto& [handle, open] : open_) held = held || open.key == it->first;
    bool gone = it->second.marked && it->second.state == platform::kServiceStopped && !held;
    it = gone ? services_.erase(it) : std::next(it);
  }
  announceStopped(stopped);
}

SimServices::Service* SimServices::serviceFor(platform::Handle handle, std::uint32_t needs) {
  settle();
  auto it = open_.find(handle);
  if (it == open_.end() || (it->second.access & needs) != needs) return nullptr;
  return find(it->second.key);
}

platform::Handle SimServices::openManager(std::uint32_t access) {
  if (managerDenied_) return platform::kNoHandle;
  platform::Handle handle = handles_.open("service manager");
  managers_.emplace(handle, access);
  return handle;
}

bool SimServices::enumerateActive(platform::Handle manager, void* buffer, std::uint32_t size,
                                  std::uint32_t& needed, std::uint32_t& returned) {
  settle();
  needed = 0;
  returned = 0;
  enumerationSizes_.push_back(size);
  auto it = managers_.find(manager);
  if (it == managers_.end() || (it->second & kManagerEnumerateRight) == 0) return false;

  std::vector<const Service*> active;
  for (const auto& [key, service] : services_) {
    if ((service.type & kWin32Types) != 0 && service.state != platform::kServiceStopped) {
      active.push_back(&service);
    }
  }
  // Entries first, their names after them, as the system lays the buffer out. The display name
  // is the service name.
  auto bytesFor = [](const Service* service) {
    return static_cast<std::uint32_t>(sizeof(platform::ServiceStatusEntry) +
                                      2 * (service->name.size() + 1));
  };
  std::uint32_t used = 0;
  std::size_t fitting = 0;
  while (fitting < active.size() && buffer != nullptr && used + bytesFor(active[fitting]) <= size) {
    used += bytesFor(active[fitting++]);
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t textAt = fitting * sizeof(platform::ServiceStatusEntry);
  for (std::size_t i = 0; i < fitting; ++i) {
    const Service& service = *active[i];
    char* name = reinterpret_cast<char*>(bytes + textAt);
    std::memcpy(name, service.name.c_str(), service.name.size() + 1);
    textAt += service.name.size() + 1;
    char* display = reinterpret_cast<char*>(bytes + textAt);
    std::memcpy(display, service.name.c_str(), service.name.size() + 1);
    textAt += service.name.size() + 1;
    platform::ServiceStatusEntry entry = {name, display, service.type, service.state, 0, 0, 0,
                                          0,    0};
    std::memcpy(bytes + i * sizeof entry, &entry, sizeof entry);
  }
  for (std::size_t i = fitting; i < active.size(); ++i) needed += bytesFor(active[i]);
  returned = static_cast<std::uint32_t>(fitting);
  return fitting == active.size();
}

platform::Handle SimServices::openService(platform::Handle manager, const char* name,
                                          std::uint32_t access) {
  settle();
  if (managers_.count(manager) == 0 || name == nullptr) return platform::kNoHandle;
  Service* service = find(name);
  if (service == nullptr || (access & ~service->granted) != 0) return platform::kNoHandle;
  platform::Handle handle = handles_.open("service " + service->name);
  open_.emplace(handle, OpenService{upper(service->name), access});
  return handle;
}

bool SimServices::queryBinaryPath(platform::Handle handle, char* path, std::size_t capacity) {
  if (capacity > 0) path[0] = '\0';
  Service* service = serviceFor(handle, kQueryConfigRight);
  if (service == nullptr || faulty(ServiceFault::QueryConfig, *service)) return false;
  if (!text::copy(path, capacity, service->binaryPath.c_str())) {
    if (capacity > 0) path[0] = '\0';
    return false;
  }
  return true;
}

bool SimServices::controlStop(platform::Handle handle, std::uint32_t& state) {
  Service* service = serviceFor(handle, kStopRight);
  if (service == nullptr) return false;
  ++stopRequests_;
  // A stopped service is not active, one already stopping cannot take another control.
  if (service->state == platform::kServiceStopped ||
      service->state == platform::kServiceStopPending || service->refusesStop) {
    return false;
  }
  if (service->stopDelay != 0) {
    service->state = platform::kServiceStopPending;
    service->stopsAt = clock_.now() + service->stopDelay;
    state = service->state;
    return true;
  }
  service->state = platform::kServiceStopped;
  state = service->state;
  announceStopped({service->binaryPath});
  return true;
}

bool SimServices::queryState(platform::Handle handle, std::uint32_t& state) {
  Service* service = serviceFor(handle, kQueryStatusRight);
  if (service == nullptr || faulty(ServiceFault::QueryStatus, *service)) return false;
  state = service->state;
  return true;
}

bool SimServices::deleteService(platform::Handle handle) {
  Service* service = serviceFor(handle, platform::kServiceDelete);
  if (service == nullptr || service->marked || faulty(ServiceFault::Delete, *service)) return false;
  service->marked = true;
  return true;
}

bool SimServices::closeHandle(platform::Handle handle) {
  if (managers_.erase(handle) == 0 && open_.erase(handle) == 0) return false;
  handles_.close(handle);
  settle();
  return true;
}

}  // namespace sim
