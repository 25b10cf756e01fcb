#include "ui/application.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/runtime_library.h"

namespace ui {
namespace {

Application* theApplication = nullptr;

}  // namespace

Application::Application() { theApplication = this; }

Application::~Application() {
  if (theApplication == this) theApplication = nullptr;
}

Application* Application::current() { return theApplication; }

int Application::run() {
  initInstance();
  mainWindow_ = nullptr;
  return 0;
}

void enableCommonControls() {
  // InitCommonControls, which every version of the library has, registers the tool tip class;
  // the Ex form needs version 4.70, which Windows 95 does not ship. The library is loaded from
  // the system folder rather than imported: an imported one is looked for beside the program
  // first.
  auto initialize = platform::win32::commonControlsLibrary().find<decltype(&InitCommonControls)>(
      "InitCommonControls");
  if (initialize != nullptr) initialize();
}

}  // namespace ui
