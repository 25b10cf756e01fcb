// A program started by the driver: it is ended at the latest when this object goes, so that a
// failed check never leaves a window behind.
#pragma once

#include <windows.h>

#include <string>

namespace uidriver {

class RunningProgram {
 public:
  // Starts `path` with `arguments`; started() tells whether that worked.
  RunningProgram(const std::string& path, const std::string& arguments = "");
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD processId() const { return processId_; }
  HANDLE handle() const { return process_; }
  // Waits for the program to end; true when it did within `timeoutMs`.
  bool waitForExit(unsigned timeoutMs);
  bool running();
  // The exit code once it has ended, else -1.
  int exitCode();

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// The folder the running program (the driver or a test) lies in; the programs of the build lie
// beside it.
std::string ownFolder();

}  // namespace uidriver
