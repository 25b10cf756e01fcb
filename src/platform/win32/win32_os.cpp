#include "platform/win32/win32_os.h"

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {

Os win32Os() {
  static Win32FileSystem files;
  static Win32Registry registry;
  static Win32Processes processes;
  static Win32Services services;
  static Win32Desktop desktop;
  static Win32Clock clock;
  return {&files, &registry, &processes, &services, &desktop, &clock};
}

}  // namespace platform::win32
