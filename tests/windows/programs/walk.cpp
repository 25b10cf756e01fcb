// vandrel-walk FOLDER: walks one folder tree as the file scan does (no memory scan first) and
// prints every ScanLog line, then "restartRequired=N". For the tests of the remedies.
#include <windows.h>

#include <cstdio>
#include <string>

#include "cli/console_desktop.h"
#include "cli/console_log_window.h"
#include "platform/win32/win32_os.h"
#include "scan/directory_walker.h"
#include "scan/scan_session.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vandrel-walk FOLDER\n");
    return 3;
  }
  cli::ConsoleDesktop desktop(false);
  platform::Os os = platform::win32::win32Os();
  os.desktop = &desktop;
  platform::install(os);
  if (cli::createConsoleLogWindow() == nullptr) return 3;

  ScanSession& session = scanSession();
  session.inMemoryScan = 0;
  std::string pattern = std::string(argv[1]) + "\\*.*";
  walkDirectory(pattern.c_str());
  std::printf("restartRequired=%d\n", session.restartRequired);
  return 0;
}
