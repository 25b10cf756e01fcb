// vandrel-rescue: removes the worm from a Windows installation mounted on this Linux system.
// See rescue.h; the command line is described by --help.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "rescue/rescue.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// The first interruption ends the scan at its next entry, so that the statistics are written
// and the hives are committed with what was removed by then; a second one ends the program.
void catchInterruptions() {
  struct sigaction action = {};
  action.sa_handler = onInterrupt;
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  catchInterruptions();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  RescueSystem system;
  system.interrupted = &interrupted;
  return runRescue(arguments, stdout, stderr, system);
}
