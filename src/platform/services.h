// The service control manager: the manager, active Win32 services, one service's binary path
// and state, stopping and deleting.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// Access rights, with their Win32 values.
constexpr std::uint32_t kManagerEnumerate = 0x80000004;  // GENERIC_READ | enumerate services
constexpr std::uint32_t kServiceQueryAndStop =
    0x00020025;                                       // read control, query config, status, stop
constexpr std::uint32_t kServiceDelete = 0x00010000;  // DELETE
constexpr std::uint32_t kServiceAllAccess = 0x000F01FF;

// Service types and states.
constexpr std::uint32_t kServiceKernelDriver = 0x01;
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
constexpr std::uint32_t kServiceWin32ShareProcess = 0x20;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;

// One entry of an enumeration, laid out as the system's ENUM_SERVICE_STATUSA: the names point at
// texts stored after the entries in the same buffer.
struct ServiceStatusEntry {
  const char* serviceName;
  const char* displayName;
  std::uint32_t serviceType;
  std::uint32_t currentState;
  std::uint32_t controlsAccepted;
  std::uint32_t win32ExitCode;
  std::uint32_t serviceSpecificExitCode;
  std::uint32_t checkPoint;
  std::uint32_t waitHint;
};

// Handles are kNoHandle on failure; boolean results are false on failure and leave their
// out-parameters as the comment says.
class Services {
 public:
  virtual ~Services() = default;

  // OpenSCManagerA on the local machine's default database.
  virtual Handle openManager(std::uint32_t access) = 0;

  // EnumServicesStatusA for the active Win32 services, from the first one on. `needed` and
  // `returned` are always set: the bytes still needed for the entries that did not fit (0 when
  // there is no active Win32 service) and the number of entries written to `buffer`. With buffer
  // null and size 0 this only learns the size needed. Returns true when every entry fitted.
  virtual bool enumerateActive(Handle manager, void* buffer, std::uint32_t size,
                               std::uint32_t& needed, std::uint32_t& returned) = 0;

  // OpenServiceA.
  virtual Handle openService(Handle manager, const char* name, std::uint32_t access) = 0;

  // QueryServiceConfigA (with a buffer of 8196 bytes), handing out only the binary path: false
  // when the query fails or the path does not fit in `capacity`, `path` then being empty.
  virtual bool queryBinaryPath(Handle service, char* path, std::size_t capacity) = 0;

  // ControlService with the stop control; on success `state` is the state it reported.
  virtual bool controlStop(Handle service, std::uint32_t& state) = 0;
  // QueryServiceStatus; on success `state` is the current state.
  virtual bool queryState(Handle service, std::uint32_t& state) = 0;

  // DeleteService: marks the service for deletion; it is gone once it has stopped and every
  // handle to it is closed.
  virtual bool deleteService(Handle service) = 0;

  // CloseServiceHandle, for a service or the manager.
  virtual bool closeHandle(Handle handle) = 0;
};

Services& services();

inline void closeServiceHandle(Handle handle) { services().closeHandle(handle); }
using ScopedServiceHandle = ScopedSeamHandle<closeServiceHandle>;

}  // namespace platform
