// A tool tip window that shows a fixed text over one window, fed with that window's mouse
// messages by its owner.
#pragma once

#include <cstdint>

#include "ui/window.h"

namespace ui {

class ToolTip {
 public:
  ToolTip() = default;
  ~ToolTip() { destroy(); }
  ToolTip(const ToolTip&) = delete;
  ToolTip& operator=(const ToolTip&) = delete;

  // Creates the tool tip window, owned by `owner`; false on failure.
  bool create(WindowHandle owner);
  // Shows `text` while the pointer rests on the client rectangle `tool` has at this moment.
  bool addTool(WindowHandle tool, const char* text, unsigned id);
  // Hands the tool tip a message of the tool, before it is dispatched.
  void relayEvent(tagMSG& message);
  void destroy();

 private:
  WindowHandle handle_ = 0;
};

}  // namespace ui
