#include "platform/sim/sim_desktop.h"

namespace sim {
namespace {

int decliningAnswer(std::uint32_t style) {
  switch (style & 0x0F) {
    case platform::kBoxYesNo:
      return platform::kAnswerNo;
    case platform::kBoxOkCancel:
      return platform::kAnswerCancel;
    default:
      return platform::kAnswerOk;
  }
}

}  // namespace

platform::WindowHandle SimDesktop::addWindow(WindowProcedure procedure) {
  platform::WindowHandle window = nextWindow_;
  nextWindow_ += 0x10;
  windows_.emplace(window, std::move(procedure));
  return window;
}

void SimDesktop::answerMessageBoxes(std::initializer_list<int> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

std::intptr_t SimDesktop::sendMessage(platform::WindowHandle window, std::uint32_t id,
                                      std::uintptr_t wParam, std::intptr_t lParam) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return 0;
  // Copy the procedure: a handler may add windows while it runs.
  WindowProcedure procedure = it->second;
  return procedure(id, wParam, lParam);
}

bool SimDesktop::peekMessage(platform::Message& message) {
  if (queue_.empty()) return false;
  message = queue_.front();
  queue_.pop_front();
  return true;
}

void SimDesktop::translateAndDispatch(const platform::Message& message) {
  dispatched_.push_back(message);
  sendMessage(message.window, message.id, message.wParam, message.lParam);
}

int SimDesktop::messageBox(platform::WindowHandle owner, const char* text, const char* caption,
                           std::uint32_t style) {
  int answer = decliningAnswer(style);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back({owner, text, caption, style, answer});
  if (boxHook_) boxHook_(boxes_.back());
  return answer;
}

}  // namespace sim
