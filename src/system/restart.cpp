#include "system/restart.h"

int restartComputer() {
  // The shutdown services are not wired in yet.
  return 0;
}
