// The window-system part of the seam: sending messages, the one-message pump, message boxes.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace platform {

// A queued window message, as PeekMessage delivers it.
struct Message {
  WindowHandle window = 0;
  std::uint32_t id = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Sends a message and returns the window's answer once it has handled it; 0 for window 0.
  virtual std::intptr_t sendMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;
  // Removes one pending message of this thread's queue; false when there is none.
  virtual bool peekMessage(Message& message) = 0;
  // Whether a message may be waiting for peekMessage, asked far more cheaply than a peek: the
  // walker asks around every entry. True may be wrong; false means nothing was seen waiting,
  // which an implementation may also answer when it asked a moment ago (the walker peeks at a
  // quiet queue now and then all the same). Without a cheaper question, always true.
  virtual bool messageWaiting() { return true; }
  // Translates keyboard input and hands the message to its window.
  virtual void translateAndDispatch(const Message& message) = 0;
  // Shows a modal message box and returns the answer (kAnswerYes, kAnswerNo, ...).
  virtual int messageBox(WindowHandle owner, const char* text, const char* caption,
                         std::uint32_t style) = 0;
};

Desktop& desktop();

}  // namespace platform
