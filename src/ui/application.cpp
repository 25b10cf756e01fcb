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
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
}

}  // namespace ui
