// vandrel.exe: the windowed program.
#include <windows.h>

#include "app/removal_app.h"
#include "platform/os.h"
#include "platform/win32/win32_os.h"

namespace {

CRemovalApp theApp;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::install(platform::win32::win32Os());
  return theApp.run();
}
