// vandrel-test-service: a minimal Win32 service for the tests under Wine. It runs until it is
// asked to stop. Options, taken from its binary path:
//   --stop-delay MS   stay stop-pending for MS milliseconds after the stop request
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;
DWORD stopDelayMs = 0;

void report(DWORD state, DWORD waitHint) {
  static DWORD checkPoint = 0;
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = NO_ERROR;
  status.dwCheckPoint = state == SERVICE_STOP_PENDING ? ++checkPoint : 0;
  status.dwWaitHint = waitHint;
  SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI handleControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    report(SERVICE_STOP_PENDING, stopDelayMs + 1000);
    SetEvent(stopRequested);
    return NO_ERROR;
  }
  return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI serviceMain(DWORD, char**) {
  statusHandle = RegisterServiceCtrlHandlerExA("", handleControl, nullptr);
  if (statusHandle == nullptr) return;
  report(SERVICE_RUNNING, 0);
  WaitForSingleObject(stopRequested, INFINITE);
  Sleep(stopDelayMs);
  report(SERVICE_STOPPED, 0);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--stop-delay") == 0) {
      stopDelayMs = std::strtoul(argv[i + 1], nullptr, 10);
    }
  }
  stopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
