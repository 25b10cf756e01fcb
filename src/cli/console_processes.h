// The console program's process services: as on Windows, except that the end of the program
// that the memory scan may call for is reported, with its own exit status.
#pragma once

#include "platform/win32/win32_processes.h"

namespace cli {

// Exit status of a run that the memory scan ended: a worm was found that needs a restart.
constexpr int kExitEndedByMemoryScan = 2;

class ConsoleProcesses : public platform::win32::Win32Processes {
 public:
  // Called with the exit status before the memory scan ends the program, so that whatever the
  // program owes at its end (its report) is still done; returns the status to exit with.
  using BeforeEnd = int (*)(int exitCode);
  void setBeforeEnd(BeforeEnd beforeEnd) { beforeEnd_ = beforeEnd; }

  [[noreturn]] void endProgram(int exitCode) override;

 private:
  BeforeEnd beforeEnd_ = nullptr;
};

}  // namespace cli
