#include "ui/control.h"

#include "ui/win32_handles.h"

namespace ui {

struct ControlProcedure {
  static LRESULT CALLBACK run(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* object = Window::fromHandle(fromHwnd(window));
    Control* control = object != nullptr ? object->asControl() : nullptr;
    if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    auto original = reinterpret_cast<WNDPROC>(control->originalProcedure_);
    if (message == WM_NCDESTROY) {
      // The window goes: give it back its own procedure and let the object forget it.
      control->unsubclass();
      return CallWindowProcA(original, window, message, wParam, lParam);
    }
    std::intptr_t result = 0;
    if (control->onMessage(message, wParam, lParam, result)) return result;
    return CallWindowProcA(original, window, message, wParam, lParam);
  }
};

Control::~Control() { unsubclass(); }

bool Control::subclassItem(WindowHandle dialog, int id) {
  HWND item = GetDlgItem(toHwnd(dialog), id);
  if (item == nullptr || handle() != 0 || Window::fromHandle(fromHwnd(item)) != nullptr) {
    return false;
  }
  bind(fromHwnd(item));
  preSubclass();
  originalProcedure_ =
      SetWindowLongPtrA(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlProcedure::run));
  return true;
}

void Control::unsubclass() {
  if (handle() == 0) return;
  if (originalProcedure_ != 0) {
    SetWindowLongPtrA(toHwnd(handle()), GWLP_WNDPROC, originalProcedure_);
    originalProcedure_ = 0;
  }
  unbind();
}

int ListBox::count() { return static_cast<int>(send(LB_GETCOUNT)); }

void ListBox::clear() { send(LB_RESETCONTENT); }

void ListBox::addString(const char* text) { send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }

void ListBox::select(int index) { send(LB_SETCURSEL, static_cast<WPARAM>(index)); }

void ListBox::setHorizontalExtent(int pixels) {
  send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels));
}

}  // namespace ui
