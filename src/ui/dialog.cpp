#include "ui/dialog.h"

#include "platform/win32/message_dispatch.h"
#include "ui/application.h"
#include "ui/win32_handles.h"

namespace ui {
namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool returnsResultDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

// The control of ours that a message names by its window, or null: a window that is not one of
// our bound controls is nothing to us, whoever sent the message.
Control* boundControl(LPARAM window) {
  Window* object = Window::fromHandle(static_cast<WindowHandle>(window));
  return object != nullptr ? object->asControl() : nullptr;
}

// Places the dialog over the middle of its owner, or of the screen's work area when it has no
// visible owner, and keeps it on that area.
void centre(HWND dialog, HWND owner) {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  RECT around = area;
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  RECT own;
  GetWindowRect(dialog, &own);
  int width = own.right - own.left, height = own.bottom - own.top;
  int x = (around.left + around.right - width) / 2;
  int y = (around.top + around.bottom - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Offers a message to the window it is for and to each of its parents up to the top-level
// window, innermost first, until one of them takes it.
bool preTranslateThroughParents(MSG& message) {
  for (HWND window = message.hwnd; window != nullptr; window = GetParent(window)) {
    if (Window* object = Window::fromHandle(fromHwnd(window))) {
      if (object->preTranslateMessage(message)) return true;
    }
    if ((GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0) break;
  }
  return false;
}

}  // namespace

struct DialogProcedure {
  static INT_PTR CALLBACK run(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      auto* dialog = reinterpret_cast<Dialog*>(lParam);
      dialog->bind(fromHwnd(window));
      dialog->bindControls();
      return dialog->onInitDialog() ? TRUE : FALSE;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object and get the default handling.
    Window* object = Window::fromHandle(fromHwnd(window));
    Dialog* dialog = object != nullptr ? object->asDialog() : nullptr;
    if (dialog == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
      dialog->unbind();
      return FALSE;
    }
    std::intptr_t result = 0;
    if (!dispatch(*dialog, message, wParam, lParam, result)) return FALSE;
    if (returnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
  }

  static bool dispatch(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam,
                       std::intptr_t& result) {
    if (message == WM_CTLCOLORSTATIC) {
      if (Control* control = boundControl(lParam)) {
        if (control->reflectColor(static_cast<std::uintptr_t>(wParam), result)) return true;
      }
    } else if (message == WM_COMMAND) {
      int id = LOWORD(wParam), code = HIWORD(wParam);
      // Menus and accelerators send no window; a control's notification goes back to it first.
      if (Control* control = boundControl(lParam)) {
        if (control->reflectCommand(code)) return true;
      }
      if (id == IDOK) {
        dialog.onOK();
        return true;
      }
      if (id == IDCANCEL) {
        dialog.onCancel();
        return true;
      }
      if (dialog.onCommand(id, code)) return true;
    }
    return dialog.onMessage(message, wParam, lParam, result);
  }
};

Dialog::Dialog(int templateId, Window* parent) : templateId_(templateId), parent_(parent) {}

WindowHandle Dialog::ownerWindow() const {
  if (parent_ != nullptr) return parent_->handle();
  Application* application = Application::current();
  Window* main = application != nullptr ? application->mainWindow() : nullptr;
  return main != nullptr && main != this ? main->handle() : 0;
}

std::intptr_t Dialog::runModal() {
  ended_ = false;
  result_ = -1;
  owner_ = ownerWindow();
  HWND owner = toHwnd(owner_);
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), owner,
                                   &DialogProcedure::run, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return -1;
  // The initialisation may have ended the dialog already.
  if (!ended_) {
    ownerDisabled_ = owner != nullptr && IsWindowEnabled(owner);
    if (ownerDisabled_) EnableWindow(owner, FALSE);
    centre(window, owner);
    ShowWindow(window, SW_SHOW);
  }

  MSG message;
  while (!ended_ && IsWindow(window)) {
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      // The application is asked to end: leave the loop and pass the request on outwards.
      PostQuitMessage(static_cast<int>(message.wParam));
      result_ = -1;
      break;
    }
    if (got == -1) break;
    // A timer callback named in a message never runs, even one that a window of ours would see.
    if (message.message == WM_TIMER && message.lParam != 0) continue;
    if (preTranslateThroughParents(message)) continue;
    platform::win32::dispatchOwnMessage(message);
  }
  releaseOwner();
  if (IsWindow(window)) DestroyWindow(window);
  return result_;
}

void Dialog::endDialog(std::intptr_t result) {
  result_ = result;
  ended_ = true;
  // The owner comes back before this window goes, so that it, not another program, is activated.
  releaseOwner();
  if (handle() != 0) {
    SetWindowPos(toHwnd(handle()), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  }
}

void Dialog::releaseOwner() {
  if (!ownerDisabled_) return;
  ownerDisabled_ = false;
  EnableWindow(toHwnd(owner_), TRUE);
}

bool Dialog::preTranslateMessage(tagMSG& message) {
  return handle() != 0 && IsDialogMessageA(toHwnd(handle()), &message);
}

void Dialog::onOK() { endDialog(IDOK); }

void Dialog::onCancel() { endDialog(IDCANCEL); }

void Dialog::setItemText(int id, const char* text) { SetDlgItemTextA(toHwnd(handle()), id, text); }

}  // namespace ui
