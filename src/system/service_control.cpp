#include "system/service_control.h"

int stopServicesByImagePath(const char* imagePath, int stop) {
  // The service control manager is not wired in yet.
  return 0;
}

int removeService(const char* name, int stopFirst) {
  // The service control manager is not wired in yet.
  return 0;
}
