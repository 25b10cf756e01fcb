#include "app/removal_app.h"

#include <windows.h>

#include "app/main_dialog.h"
#include "scan/scan_session.h"
#include "system/shutdown_countdown.h"
#include "system/single_instance.h"

bool CRemovalApp::initInstance() {
  ui::enableCommonControls();

  // A second copy ends silently, without activating the first. Only a copy of this program
  // counts: any program can show a window with our caption.
  platform::ScopedNamedMark runningMark;
  if (anotherCopyRuns(scanSession().appCaption, runningMark)) return false;

  // A shutdown counting down would end the scan within the minute; stop it before the user is
  // asked anything. The scan says so in its log.
  abortShutdownCountdown();

  CMainDialog dialog;
  setMainWindow(&dialog);
  dialog.runModal();
  setMainWindow(nullptr);
  return false;
}
