// Control objects bound to the items of a dialog by subclassing: once bound, every message of
// the item comes to the object first, and the dialog reflects the item's colour request and
// its notifications back to it.
#pragma once

#include <cstdint>

#include "ui/window.h"

namespace ui {

class Control : public Window {
 public:
  ~Control() override;
  Control* asControl() override { return this; }

  // Binds this object to item `id` of `dialog`; false when there is no such item or this object
  // is bound already.
  bool subclassItem(WindowHandle dialog, int id);

  // The parent's WM_CTLCOLORSTATIC for this control, given the device context; true with a
  // brush in `brush` when the control chooses its own colours.
  virtual bool reflectColor(std::uintptr_t deviceContext, std::intptr_t& brush) { return false; }
  // A notification code (the high word of the parent's WM_COMMAND) sent by this control; true
  // when the control handled it itself.
  virtual bool reflectCommand(int code) { return false; }

 protected:
  // Called once the object knows its window and before the first message is diverted to it.
  virtual void preSubclass() {}
  // A message of the window; true with `result` set when handled, false to leave it to the
  // control's own procedure.
  virtual bool onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                         std::intptr_t& result) {
    return false;
  }

 private:
  friend struct ControlProcedure;
  void unsubclass();

  std::intptr_t originalProcedure_ = 0;
};

class Static : public Control {};

class Button : public Control {};

class ListBox : public Control {
 public:
  int count();
  void clear();
  void addString(const char* text);
  // Selects line `index`; an index past the end selects nothing.
  void select(int index);
  void setHorizontalExtent(int pixels);
};

}  // namespace ui
