// The simulated window system: windows whose messages a test handles, this thread's message
// queue, and message boxes answered from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace sim {

struct ShownMessageBox {
  platform::WindowHandle owner;
  std::string text;
  std::string caption;
  std::uint32_t style;
  int answer;
};

class SimDesktop : public platform::Desktop {
 public:
  using WindowProcedure =
      std::function<std::intptr_t(std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam)>;

  // A window whose messages go to `procedure`; returns its handle.
  platform::WindowHandle addWindow(WindowProcedure procedure);
  void post(const platform::Message& message) { queue_.push_back(message); }
  // Answers for the next message boxes, in order; when none is left a box gets the answer that
  // declines (No, Cancel, or OK for a box with one button).
  void answerMessageBoxes(std::initializer_list<int> answers);
  // Called whenever a box is shown, before it is answered (to act "while the box is up").
  void onMessageBox(std::function<void(const ShownMessageBox&)> hook) {
    boxHook_ = std::move(hook);
  }

  const std::vector<ShownMessageBox>& messageBoxes() const { return boxes_; }
  const std::vector<platform::Message>& dispatched() const { return dispatched_; }
  std::size_t pending() const { return queue_.size(); }

  // platform::Desktop
  std::intptr_t sendMessage(platform::WindowHandle window, std::uint32_t id, std::uintptr_t wParam,
                            std::intptr_t lParam) override;
  bool peekMessage(platform::Message& message) override;
  bool messageWaiting() override { return !queue_.empty(); }
  void translateAndDispatch(const platform::Message& message) override;
  int messageBox(platform::WindowHandle owner, const char* text, const char* caption,
                 std::uint32_t style) override;

 private:
  std::map<platform::WindowHandle, WindowProcedure> windows_;
  platform::WindowHandle nextWindow_ = 0x1000;
  std::deque<platform::Message> queue_;
  std::deque<int> answers_;
  std::vector<ShownMessageBox> boxes_;
  std::vector<platform::Message> dispatched_;
  std::function<void(const ShownMessageBox&)> boxHook_;
};

}  // namespace sim
