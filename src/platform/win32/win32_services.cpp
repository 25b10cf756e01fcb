#include "platform/win32/win32_services.h"

#include <windows.h>

#include <cstddef>

#include "common/bounded_text.h"
#include "platform/win32/runtime_library.h"

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

// The service control manager is the NT family's; on the 95/98/Me family these are missing
// and every operation fails as the seam says.
struct ServiceFunctions {
  decltype(&OpenSCManagerA) openManager;
  decltype(&EnumServicesStatusA) enumerate;
  decltype(&OpenServiceA) openService;
  decltype(&QueryServiceConfigA) queryConfig;
  decltype(&ControlService) control;
  decltype(&QueryServiceStatus) queryStatus;
  decltype(&DeleteService) remove;
  decltype(&CloseServiceHandle) close;
};

const ServiceFunctions& functions() {
  static const ServiceFunctions found = [] {
    const RuntimeLibrary& library = advancedServicesLibrary();
    return ServiceFunctions{
        library.find<decltype(&OpenSCManagerA)>("OpenSCManagerA"),
        library.find<decltype(&EnumServicesStatusA)>("EnumServicesStatusA"),
        library.find<decltype(&OpenServiceA)>("OpenServiceA"),
        library.find<decltype(&QueryServiceConfigA)>("QueryServiceConfigA"),
        library.find<decltype(&ControlService)>("ControlService"),
        library.find<decltype(&QueryServiceStatus)>("QueryServiceStatus"),
        library.find<decltype(&DeleteService)>("DeleteService"),
        library.find<decltype(&CloseServiceHandle)>("CloseServiceHandle"),
    };
  }();
  return found;
}

}  // namespace

Handle Win32Services::openManager(std::uint32_t access) {
  auto open = functions().openManager;
  return open == nullptr ? kNoHandle : toSeam(open(nullptr, nullptr, access));
}

bool Win32Services::enumerateActive(Handle manager, void* buffer, std::uint32_t size,
                                    std::uint32_t& needed, std::uint32_t& returned) {
  needed = 0;
  returned = 0;
  auto enumerate = functions().enumerate;
  if (enumerate == nullptr) return false;
  DWORD bytesNeeded = 0;
  DWORD count = 0;
  DWORD resume = 0;
  BOOL ok =
      enumerate(toService(manager), SERVICE_WIN32, SERVICE_ACTIVE,
                static_cast<ENUM_SERVICE_STATUSA*>(buffer), size, &bytesNeeded, &count, &resume);
  needed = bytesNeeded;
  returned = count;
  return ok != 0;
}

Handle Win32Services::openService(Handle manager, const char* name, std::uint32_t access) {
  auto open = functions().openService;
  return open == nullptr ? kNoHandle : toSeam(open(toService(manager), name, access));
}

bool Win32Services::queryBinaryPath(Handle service, char* path, std::size_t capacity) {
  if (capacity > 0) path[0] = '\0';
  // DWORD-aligned, as the configuration structure needs.
  DWORD storage[(kConfigBufferSize + sizeof(DWORD) - 1) / sizeof(DWORD)];
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(storage);
  auto query = functions().queryConfig;
  if (query == nullptr) return false;
  DWORD bytesNeeded = 0;
  if (!query(toService(service), config, kConfigBufferSize, &bytesNeeded) ||
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
  auto control = functions().control;
  SERVICE_STATUS status = {};
  if (control == nullptr || !control(toService(service), SERVICE_CONTROL_STOP, &status))
    return false;
  state = status.dwCurrentState;
  return true;
}

bool Win32Services::queryState(Handle service, std::uint32_t& state) {
  auto query = functions().queryStatus;
  SERVICE_STATUS status = {};
  if (query == nullptr || !query(toService(service), &status)) return false;
  state = status.dwCurrentState;
  return true;
}

bool Win32Services::deleteService(Handle service) {
  auto remove = functions().remove;
  return remove != nullptr && remove(toService(service)) != 0;
}

bool Win32Services::closeHandle(Handle handle) {
  // Keeps the error of the call before, which the caller may be about to read.
  auto close = functions().close;
  if (close == nullptr) return false;
  DWORD error = GetLastError();
  BOOL ok = close(toService(handle));
  SetLastError(error);
  return ok != 0;
}

}  // namespace platform::win32
