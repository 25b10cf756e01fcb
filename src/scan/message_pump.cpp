#include "scan/message_pump.h"

#include "platform/clock.h"
#include "platform/desktop.h"
#include "scan/scan_session.h"

namespace {

// A peek that finds the queue empty costs far more than the walk's work on an entry (under Wine
// a third of a millisecond), and the walk pumps around every entry. So a peek is made when the
// queue holds something, and otherwise at most this often: what the window system has not queued
// yet (its own input and painting) is fetched within this time, far sooner than a person notices.
constexpr std::uint32_t kQuietPeekIntervalMs = 20;

// When the last peek was made; only its difference from the clock's ticks is used.
std::uint32_t lastPeekTicks = 0;
bool peekedBefore = false;

bool peekDue() {
  if (platform::desktop().messageWaiting()) return true;
  std::uint32_t now = platform::clock().ticks();
  if (peekedBefore && now - lastPeekTicks < kQuietPeekIntervalMs) return false;
  return true;
}

void notePeek() {
  lastPeekTicks = platform::clock().ticks();
  peekedBefore = true;
}

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
  if (!peekDue()) return;
  platform::Desktop& desktop = platform::desktop();
  platform::Message message;
  bool peeked = desktop.peekMessage(message);
  notePeek();
  if (!peeked) return;

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
