// A dialog built on a template of the program's resources and run modally by its own message
// loop. Each message passes first through preTranslateMessage of the window it is for and of
// its parents (so that a control can see it before it is dispatched, as a tool tip needs) and
// then through the dialog manager's keyboard handling. The dialog reflects its static
// controls' colour requests and its controls' notifications back to the bound control objects.
#pragma once

#include <cstdint>

#include "ui/control.h"
#include "ui/window.h"

namespace ui {

class Dialog : public Window {
 public:
  explicit Dialog(int templateId, Window* parent = nullptr);
  Dialog* asDialog() override { return this; }

  // Creates the dialog, shows it and runs its message loop until endDialog is called. Without
  // a parent the application's main window owns it; the owner is disabled meanwhile. Returns
  // endDialog's result, or -1 when the dialog could not be created or a quit message came.
  std::intptr_t runModal();
  // Ends the modal loop with `result` and hides the dialog at once; the window is destroyed
  // when the loop returns.
  void endDialog(std::intptr_t result);

  bool preTranslateMessage(tagMSG& message) override;

 protected:
  // Binds the control objects to their items; runs before onInitDialog.
  virtual void bindControls() {}
  // True leaves the focus to the dialog manager (the first control that takes it).
  virtual bool onInitDialog() { return true; }
  // The Enter key's default command (IDOK) and the Cancel command (IDCANCEL, also the Escape
  // key and the close box): by default both end the dialog with their id.
  virtual void onOK();
  virtual void onCancel();
  // A WM_COMMAND other than IDOK and IDCANCEL that no control took back; true when handled.
  virtual bool onCommand(int id, int code) { return false; }
  // Any other message; true with `result` set when handled, false for the dialog manager's
  // default handling.
  virtual bool onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                         std::intptr_t& result) {
    return false;
  }

  bool bindControl(Control& control, int id) { return control.subclassItem(handle(), id); }
  void setItemText(int id, const char* text);

 private:
  friend struct DialogProcedure;
  WindowHandle ownerWindow() const;
  void releaseOwner();

  int templateId_;
  Window* parent_;
  WindowHandle owner_ = 0;
  bool ownerDisabled_ = false;
  bool ended_ = false;
  std::intptr_t result_ = -1;
};

}  // namespace ui
