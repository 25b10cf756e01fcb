#include "platform/offline/offline_desktop.h"

#include "common/terminal_text.h"
#include "scan/scan_session.h"

namespace platform::offline {

std::intptr_t OfflineDesktop::sendMessage(WindowHandle window, std::uint32_t id, std::uintptr_t,
                                          std::intptr_t) {
  if (window == kLogWindow && id == WM_SCAN_APPENDLOG) {
    // The line names files of the disk: nothing in a name may act on the terminal.
    char line[4 * sizeof scanSession().logLine];
    text::escapeForTerminal(scanSession().logLine, line, sizeof line);
    std::fprintf(output_, "%s\n", line);
    std::fflush(output_);
  }
  return 0;
}

bool OfflineDesktop::peekMessage(Message& message) {
  if (interrupted_ == nullptr || *interrupted_ == 0 || quitDelivered_) return false;
  quitDelivered_ = true;
  message = Message();
  message.id = kMessageQuit;
  return true;
}

void OfflineDesktop::translateAndDispatch(const Message&) {}

int OfflineDesktop::messageBox(WindowHandle, const char* text, const char* caption,
                               std::uint32_t style) {
  int answer = kAnswerOk;
  const char* answerName = "OK";
  if ((style & 0x0F) == kBoxYesNo) {
    answer = kAnswerNo;
    answerName = "No";
  } else if ((style & 0x0F) == kBoxOkCancel) {
    answer = kAnswerCancel;
    answerName = "Cancel";
  }
  std::fprintf(errors_, "message box [%s]: %s -> %s\n", caption, text, answerName);
  std::fflush(errors_);
  return answer;
}

}  // namespace platform::offline
