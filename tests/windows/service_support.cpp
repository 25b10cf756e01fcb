#include "windows/service_support.h"

#include <windows.h>

#include "windows/windows_support.h"

namespace wintest {
namespace {

// Waits until the service leaves its pending state for `target`; false when it does not.
bool waitForState(SC_HANDLE service, DWORD target) {
  for (int i = 0; i < 100; ++i) {
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCurrentState == target) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace

std::string testServiceCommand(const std::string& arguments) {
  std::string command = programFolder() + "\\vandrel-test-service.exe";
  return arguments.empty() ? command : command + " " + arguments;
}

TestService::TestService(const std::string& name, const std::string& binaryPath) : name_(name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return;
  SC_HANDLE service =
      CreateServiceA(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  created_ = service != nullptr;
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

TestService::~TestService() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return;
  SC_HANDLE service = OpenServiceA(manager, name_.c_str(), SERVICE_ALL_ACCESS);
  if (service != nullptr) {
    SERVICE_STATUS status = {};
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
      waitForState(service, SERVICE_STOPPED);
    }
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

bool TestService::start() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = OpenServiceA(manager, name_.c_str(), SERVICE_START | SERVICE_QUERY_STATUS);
  bool running = service != nullptr && StartServiceA(service, 0, nullptr) &&
                 waitForState(service, SERVICE_RUNNING);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return running;
}

bool serviceExists(const std::string& name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return false;
  SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

bool serviceGoes(const std::string& name) {
  for (int polls = 0; polls < 100; ++polls) {
    if (!serviceExists(name)) return true;
    Sleep(100);
  }
  return false;
}

unsigned long serviceState(const std::string& name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return 0;
  SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
  SERVICE_STATUS status = {};
  bool known = service != nullptr && QueryServiceStatus(service, &status);
  if (service != nullptr) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return known ? status.dwCurrentState : 0;
}

std::string uniqueServiceName(const std::string& stem) {
  static unsigned counter = 0;
  return stem + std::to_string(GetCurrentProcessId()) + "x" + std::to_string(++counter);
}

}  // namespace wintest
