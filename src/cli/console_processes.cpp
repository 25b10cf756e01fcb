#include "cli/console_processes.h"

#include <cstdio>
#include <cstdlib>

namespace cli {

void ConsoleProcesses::endProgram(int) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "vandrel-cli: a worm process was found in memory; the scan ends here. Restart the "
               "computer and run the scan again.\n");
  std::fflush(stderr);
  std::exit(kExitEndedByMemoryScan);
}

}  // namespace cli
