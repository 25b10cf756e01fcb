#include "ui/window.h"

#include "ui/win32_handles.h"

namespace ui {
namespace {

// The windows bound to objects, newest first. The map from a window to its object is kept here,
// in the program's own memory, and never with the window (a window property, say), where any
// other program on the desktop could set it to an address of its choosing. The program has a
// handful of windows, all on one thread.
Window* boundWindows = nullptr;

}  // namespace

Window::~Window() { unbind(); }

Window* Window::fromHandle(WindowHandle window) {
  if (window == 0) return nullptr;
  for (Window* bound = boundWindows; bound != nullptr; bound = bound->nextBound_) {
    if (bound->handle_ == window) return bound;
  }
  return nullptr;
}

void Window::bind(WindowHandle window) {
  unbind();
  if (window == 0) return;
  handle_ = window;
  nextBound_ = boundWindows;
  boundWindows = this;
}

void Window::unbind() {
  if (handle_ == 0) return;
  for (Window** link = &boundWindows; *link != nullptr; link = &(*link)->nextBound_) {
    if (*link == this) {
      *link = nextBound_;
      break;
    }
  }
  nextBound_ = nullptr;
  handle_ = 0;
}

std::intptr_t Window::send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (handle_ == 0) return 0;
  return SendMessageA(toHwnd(handle_), message, wParam, lParam);
}

void Window::setText(const char* text) {
  if (handle_ != 0) SetWindowTextA(toHwnd(handle_), text);
}

void Window::show(bool visible) {
  if (handle_ != 0) ShowWindow(toHwnd(handle_), visible ? SW_SHOW : SW_HIDE);
}

bool Window::isWindow() const { return handle_ != 0 && IsWindow(toHwnd(handle_)); }

void Window::invalidate(bool erase) {
  if (handle_ != 0) InvalidateRect(toHwnd(handle_), nullptr, erase ? TRUE : FALSE);
}

bool Window::startTimer(std::uintptr_t id, unsigned periodMs) {
  return handle_ != 0 && SetTimer(toHwnd(handle_), id, periodMs, nullptr) != 0;
}

void Window::stopTimer(std::uintptr_t id) {
  if (handle_ != 0) KillTimer(toHwnd(handle_), id);
}

int Window::messageBox(const char* text, const char* caption, std::uint32_t style) {
  return MessageBoxA(toHwnd(handle_), text, caption, style);
}

}  // namespace ui
