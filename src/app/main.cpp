// vandrel.exe: the windowed program.
#include <windows.h>

#include "app/removal_app.h"
#include "platform/os.h"
#include "platform/win32/win32_os.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::install(platform::win32::win32Os());
  // The application object lives as long as the program runs; made here, it needs no static
  // constructor.
  CRemovalApp app;
  return app.run();
}
