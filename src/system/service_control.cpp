#include "system/service_control.h"

#include <cstdint>
#include <cstring>

#include "common/bounded_text.h"
#include "common/heap_array.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "scan/scan_record.h"

namespace {

using platform::ScopedServiceHandle;

// Slack for services that start between learning the size and enumerating.
constexpr std::uint32_t kEnumerationSlack = 100;

// Asks an open service to stop and waits while it is stop-pending. True when the last state
// read is "stopped".
bool stopAndWait(platform::Handle service) {
  platform::Services& services = platform::services();
  std::uint32_t state = 0;
  if (!services.controlStop(service, state)) return false;
  for (int polls = 0;; ++polls) {
    std::uint32_t current = 0;
    if (!services.queryState(service, current)) break;
    state = current;
    if (state != platform::kServiceStopPending || polls == kMaxStopPolls) break;
    platform::clock().sleep(kStopPollIntervalMs);
  }
  return state == platform::kServiceStopped;
}

// The service name of entry `index` of an enumeration buffer, or null when the entry does not
// name a zero-terminated text inside the buffer.
const char* serviceNameAt(const unsigned char* buffer, std::size_t size, std::uint32_t index) {
  platform::ServiceStatusEntry entry;
  std::size_t offset = static_cast<std::size_t>(index) * sizeof entry;
  if (offset + sizeof entry > size) return nullptr;
  std::memcpy(&entry, buffer + offset, sizeof entry);
  auto start = reinterpret_cast<std::uintptr_t>(buffer);
  auto name = reinterpret_cast<std::uintptr_t>(entry.serviceName);
  if (name < start || name - start >= size) return nullptr;
  std::size_t at = name - start;
  if (std::memchr(buffer + at, '\0', size - at) == nullptr) return nullptr;
  return reinterpret_cast<const char*>(buffer + at);
}

// Whether a service's stored binary path names the image: the same text and, when its identity
// is known, the very file.
bool namesTheImage(const char* binaryPath, const char* imagePath,
                   const platform::FileIdentity* image) {
  if (!text::equalsIgnoringCase(binaryPath, imagePath)) return false;
  if (image == nullptr) return true;
  platform::FileIdentity found;
  return platform::files().identifyPath(binaryPath, found) && platform::sameFile(found, *image);
}

}  // namespace

int stopServicesByImagePath(const char* imagePath, int stop, const platform::FileIdentity* image) {
  if (imagePath == nullptr) return 0;
  platform::Services& services = platform::services();
  ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  if (!manager) return 0;

  std::uint32_t needed = 0;
  std::uint32_t returned = 0;
  services.enumerateActive(manager.get(), nullptr, 0, needed, returned);
  // Nothing active: no buffer at all.
  if (needed == 0 || needed > UINT32_MAX - kEnumerationSlack - 1) return 0;
  std::uint32_t size = needed + kEnumerationSlack;
  HeapArray<unsigned char> buffer(std::size_t{size} + 1);
  if (!buffer) return 0;

  services.enumerateActive(manager.get(), buffer.data(), size, needed, returned);

  int matched = 0;
  int stopped = 0;
  for (std::uint32_t i = 0; i < returned; ++i) {
    const char* name = serviceNameAt(buffer.data(), size, i);
    if (name == nullptr) break;
    ScopedServiceHandle service(
        services.openService(manager.get(), name, platform::kServiceQueryAndStop));
    if (!service) continue;
    char binaryPath[platform::kMaxPath];
    if (!services.queryBinaryPath(service.get(), binaryPath, sizeof binaryPath) ||
        !namesTheImage(binaryPath, imagePath, image)) {
      continue;
    }
    if (stop == 1 && stopAndWait(service.get())) ++stopped;
    ++matched;
  }
  return stop == 1 ? stopped : matched;
}

int removeService(const char* name, int stopFirst) {
  if (name == nullptr) return 0;
  platform::Services& services = platform::services();
  ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  if (!manager) return 0;
  {
    ScopedServiceHandle service(
        services.openService(manager.get(), name, platform::kServiceQueryAndStop));
    if (!service) return 0;
    if (stopFirst == 1) stopAndWait(service.get());
  }
  ScopedServiceHandle service(services.openService(manager.get(), name, platform::kServiceDelete));
  if (!service) return 0;
  if (!services.deleteService(service.get())) return 0;
  recordServiceRemoved(name);
  return 1;
}

bool serviceRunsImage(const char* name, const char* imagePath,
                      const platform::FileIdentity* image) {
  if (name == nullptr || imagePath == nullptr) return false;
  platform::Services& services = platform::services();
  ScopedServiceHandle manager(services.openManager(platform::kManagerEnumerate));
  if (!manager) return false;
  ScopedServiceHandle service(
      services.openService(manager.get(), name, platform::kServiceQueryAndStop));
  char binaryPath[platform::kMaxPath];
  return service && services.queryBinaryPath(service.get(), binaryPath, sizeof binaryPath) &&
         namesTheImage(binaryPath, imagePath, image);
}
