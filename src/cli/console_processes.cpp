#include "cli/console_processes.h"

#include <windows.h>

#include "common/console_output.h"

namespace cli {

void ConsoleProcesses::endProgram(int) {
  console::flush(console::Stream::kOutput);
  console::write(console::Stream::kError,
                 "vandrel-cli: a worm process was found in memory; the scan ends here. Restart "
                 "the computer and run the scan again.\n");
  int status = kExitEndedByMemoryScan;
  if (beforeEnd_ != nullptr) status = beforeEnd_(status);
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace cli
