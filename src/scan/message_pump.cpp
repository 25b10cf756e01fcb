#include "scan/message_pump.h"

#include "platform/desktop.h"
#include "scan/scan_session.h"

namespace {

bool carriesEscape(const platform::Message& message) {
  return (message.wParam & 0xFFFF) == platform::kKeyEscape;
}

void askToTerminate() {
  ScanSession& session = scanSession();
  int answer =
      platform::desktop().messageBox(session.scanDialogWindow, "Terminate the Scan now?", "Warning",
                                     platform::kBoxYesNo | platform::kBoxIconInformation);
  if (answer != platform::kAnswerNo) session.scanTerminated = 1;
}

}  // namespace

void pumpScanMessages() {
  platform::Desktop& desktop = platform::desktop();
  platform::Message message;
  if (!desktop.peekMessage(message)) return;

  // Only the keyboard's Escape asks; a mouse or timer message whose wParam happens to be 27 is
  // an ordinary message. The key's release and its character message are dropped so that the
  // one key press asks once.
  if (carriesEscape(message)) {
    if (message.id == platform::kMessageKeyDown) {
      askToTerminate();
      return;
    }
    if (message.id == platform::kMessageKeyUp || message.id == platform::kMessageChar) return;
  }
  if (message.id == platform::kMessageQuit || message.id == platform::kMessageDestroy) {
    scanSession().scanTerminated = 1;
    return;
  }
  desktop.translateAndDispatch(message);
}
