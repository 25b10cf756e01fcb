#include "ui_driver/running_program.h"

namespace uidriver {
namespace {

// A program still running at the end is ended; it is given this long to go.
constexpr DWORD kEndTimeoutMs = 30000;

}  // namespace

RunningProgram::RunningProgram(const std::string& path, const std::string& arguments) {
  std::string commandLine = "\"" + path + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  process_ = process.hProcess;
  processId_ = process.dwProcessId;
}

RunningProgram::~RunningProgram() {
  if (process_ == nullptr) return;
  if (running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, kEndTimeoutMs);
  }
  CloseHandle(process_);
}

bool RunningProgram::waitForExit(unsigned timeoutMs) {
  return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool RunningProgram::running() {
  return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

int RunningProgram::exitCode() {
  DWORD code = 0;
  if (process_ == nullptr || running() || !GetExitCodeProcess(process_, &code)) return -1;
  return static_cast<int>(code);
}

std::string ownFolder() {
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\'));
}

}  // namespace uidriver
