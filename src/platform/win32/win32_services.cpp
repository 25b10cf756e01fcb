#include "platform/win32/win32_services.h"

#include <windows.h>

#include <cstddef>

#include "common/bounded_text.h"

namespace platform::win32 {
namespace {

static_assert(sizeof(ServiceStatusEntry) == sizeof(ENUM_SERVICE_STATUSA), "entry layout");
static_assert(offsetof(ServiceStatusEntry, serviceName) ==
                  offsetof(ENUM_SERVICE_STATUSA, lpServiceName),
              "entry layout");
static_assert(offsetof(ServiceStatusEntry, currentState) ==
                  offsetof(ENUM_SERVICE_STATUSA, ServiceStatus) +
                      offsetof(SERVICE_STATUS, dwCurrentState),
              "entry layout");

// The configuration and its texts fit in this many bytes for any service the scan looks at.
constexpr DWORD kConfigBufferSize = 8196;

SC_HANDLE toService(Handle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
Handle toSeam(SC_HANDLE handle) { return reinterpret_cast<Handle>(handle); }

}  // namespace

Handle Win32Services::openManager(std::uint32_t access) {
  return toSeam(OpenSCManagerA(nullptr, nullptr, access));
}

bool Win32Services::enumerateActive(Handle manager, void* buffer, std::uint32_t size,
                                    std::uint32_t& needed, std::uint32_t& returned) {
  DWORD bytesNeeded = 0;
  DWORD count = 0;
  DWORD resume = 0;
  BOOL ok = EnumServicesStatusA(toService(manager), SERVICE_WIN32, SERVICE_ACTIVE,
                                static_cast<ENUM_SERVICE_STATUSA*>(buffer), size, &bytesNeeded,
                                &count, &resume);
  needed = bytesNeeded;
  returned = count;
  return ok != 0;
}

Handle Win32Services::openService(Handle manager, const char* name, std::uint32_t access) {
  return toSeam(OpenServiceA(toService(manager), name, access));
}

bool Win32Services::queryBinaryPath(Handle service, char* path, std::size_t capacity) {
  if (capacity > 0) path[0] = '\0';
  // DWORD-aligned, as the configuration structure needs.
  DWORD storage[(kConfigBufferSize + sizeof(DWORD) - 1) / sizeof(DWORD)];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(storage);
  DWORD bytesNeeded = 0;
  if (!QueryServiceConfigA(toService(service), config, kConfigBufferSize, &bytesNeeded) ||
      config->lpBinaryPathName == nullptr) {
    return false;
  }
  if (!text::copy(path, capacity, config->lpBinaryPathName)) {
    if (capacity > 0) path[0] = '\0';
    return false;
  }
  return true;
}

bool Win32Services::controlStop(Handle service, std::uint32_t& state) {
  SERVICE_STATUS status = {};
  if (!ControlService(toService(service), SERVICE_CONTROL_STOP, &status)) return false;
  state = status.dwCurrentState;
  return true;
}

bool Win32Services::queryState(Handle service, std::uint32_t& state) {
  SERVICE_STATUS status = {};
  if (!QueryServiceStatus(toService(service), &status)) return false;
  state = status.dwCurrentState;
  return true;
}

bool Win32Services::deleteService(Handle service) { return DeleteService(toService(service)) != 0; }

bool Win32Services::closeHandle(Handle handle) {
  // Keeps the error of the call before, which the caller may be about to read.
  DWORD error = GetLastError();
  BOOL ok = CloseServiceHandle(toService(handle));
  SetLastError(error);
  return ok != 0;
}

}  // namespace platform::win32
