#include "ui/application.h"

#include <windows.h>
#include <commctrl.h>

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
  // the Ex form needs version 4.70, which Windows 95 does not ship.
  InitCommonControls();
}

}  // namespace ui
