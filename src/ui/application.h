// The program object: one static instance, whose initInstance runs the program. It knows the
// main window, which owns the dialogs that are run without a parent.
#pragma once

#include "ui/window.h"

namespace ui {

class Application {
 public:
  Application();
  virtual ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The one application object, or null before it is constructed.
  static Application* current();

  // Runs initInstance and returns the process's exit code.
  int run();

  Window* mainWindow() const { return mainWindow_; }
  void setMainWindow(Window* window) { mainWindow_ = window; }

 protected:
  // The whole program; returns true only if a message loop of the application should follow,
  // which this layer does not have.
  virtual bool initInstance() = 0;

 private:
  Window* mainWindow_ = nullptr;
};

// Makes the common controls (the tool tip) available to the program's windows.
void enableCommonControls();

}  // namespace ui
