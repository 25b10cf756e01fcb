#include "app/removal_app.h"

#include <windows.h>

#include "app/main_dialog.h"
#include "scan/scan_session.h"

bool CRemovalApp::initInstance() {
  ui::enableCommonControls();

  // Every window and message box of a running copy carries this caption; a second copy ends
  // silently, without activating the first.
  if (FindWindowA(nullptr, scanSession().appCaption) != nullptr) return false;

  CMainDialog dialog;
  setMainWindow(&dialog);
  dialog.runModal();
  setMainWindow(nullptr);
  return false;
}
