#include "app/removal_app.h"

#include <windows.h>

#include "app/main_dialog.h"
#include "scan/scan_session.h"
#include "system/single_instance.h"

bool CRemovalApp::initInstance() {
  ui::enableCommonControls();

  // A second copy ends silently, without activating the first. Only a copy of this program
  // counts: any program can show a window with our caption.
  platform::ScopedNamedMark runningMark;
  if (anotherCopyRuns(scanSession().appCaption, runningMark)) return false;

  CMainDialog dialog;
  setMainWindow(&dialog);
  dialog.runModal();
  setMainWindow(nullptr);
  return false;
}
