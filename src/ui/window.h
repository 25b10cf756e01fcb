// The base of every window object of the dialog layer: a window handle and the few operations
// our windows need. Windows headers stay out of this header: a window is a platform::WindowHandle
// (an HWND as an integer, 0 for none) and messages carry the Win32 parameter types as integers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

struct tagMSG;

namespace ui {

using platform::WindowHandle;

class Control;
class Dialog;

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  WindowHandle handle() const { return handle_; }
  // The object bound to `window`, or null when it has none. Only the windows this layer created
  // or subclassed in this thread have one: a handle that arrives in a message, which any program
  // on the desktop can choose, leads to no object unless it is one of ours.
  static Window* fromHandle(WindowHandle window);

  // This object as a dialog or a control, or null when it is not one.
  virtual Dialog* asDialog() { return nullptr; }
  virtual Control* asControl() { return nullptr; }

  // Called by the modal loop for each message of this window or of its child windows before
  // it is dispatched, innermost window first; true when the message was handled here and must
  // not be dispatched.
  virtual bool preTranslateMessage(tagMSG& message) { return false; }

  std::intptr_t send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  void setText(const char* text);
  void show(bool visible);
  bool isWindow() const;
  // Invalidates the whole client area, the background included when `erase`.
  void invalidate(bool erase);
  bool startTimer(std::uintptr_t id, unsigned periodMs);
  void stopTimer(std::uintptr_t id);
  // A modal message box owned by this window.
  int messageBox(const char* text, const char* caption, std::uint32_t style);

 protected:
  // Binds this object to `window`; fromHandle finds it until unbind().
  void bind(WindowHandle window);
  void unbind();

 private:
  WindowHandle handle_ = 0;
  Window* nextBound_ = nullptr;  // the next entry of the list of bound windows
};

}  // namespace ui
