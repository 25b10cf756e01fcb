#include "ui/window.h"

#include "ui/win32_handles.h"

namespace ui {
namespace {

// The window property that leads from a window to its object.
constexpr char kObjectProperty[] = "Vandrel.ui.Window";

}  // namespace

Window::~Window() { unbind(); }

Window* Window::fromHandle(WindowHandle window) {
  if (window == 0) return nullptr;
  return static_cast<Window*>(GetPropA(toHwnd(window), kObjectProperty));
}

void Window::bind(WindowHandle window) {
  handle_ = window;
  SetPropA(toHwnd(window), kObjectProperty, this);
}

void Window::unbind() {
  if (handle_ == 0) return;
  if (fromHandle(handle_) == this) RemovePropA(toHwnd(handle_), kObjectProperty);
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
