// Ground for the tests that work vandrel.exe's windows under Wine with the UI driver: starting
// the program, finding its windows, screenshots kept under the build folder, and a tree of
// files that makes a scan last long enough to be interrupted.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ui_driver/running_program.h"
#include "ui_driver/ui_driver.h"
#include "windows/windows_support.h"

namespace wintest {

constexpr char kCaption[] = "Vandrel Ver 4.0";
// Generous bounds: they only matter when something is wrong, and Wine can be slow to start.
constexpr unsigned kWindowTimeoutMs = 30000;
constexpr unsigned kScanTimeoutMs = 120000;

// Wine's WoW64 mode gives a 32-bit program no memory device context, so a 32-bit program cannot
// copy the screen (vandrel-screen-capture.exe is the smallest program that shows it, and
// ScreenCapture pins it). Colours are therefore looked at, and screenshots kept, in the 64-bit
// lane; every other check of the window tests runs in both lanes.
constexpr bool kCanCaptureTheScreen = sizeof(void*) == 8;

// A registry value set for the length of a test and put back afterwards.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, const std::string& key, const std::string& name,
                      const std::string& value);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

 private:
  HKEY root_;
  std::string key_, name_, previous_;
  bool existed_ = false;
};

// Many small files under the temporary folder, so that a scan takes a few seconds.
class SlowScanTree {
 public:
  explicit SlowScanTree(int files);

 private:
  ScratchFolder folder_;
};

class VandrelWindowTest : public ::testing::Test {
 protected:
  VandrelWindowTest();

  // Starts vandrel.exe and waits for its main window.
  HWND startAndWaitForMainWindow();
  // A window of the running copy: the one that has control `controlId`.
  HWND waitForWindow(int controlId, unsigned timeoutMs = kWindowTimeoutMs);
  HWND waitForMessageBox(const std::string& caption);
  // Clicks OK in the main window and waits for the scanning window.
  HWND startScan(HWND main);
  // Waits until the scan has ended, that is until OK replaces Cancel.
  bool waitForScanEnd(HWND scanning);
  // Waits for the status line to show a path, the sign that the walk is under way.
  bool waitForWalk(HWND scanning);
  // How the thank-you window is closed.
  enum class Close { OkButton, EscapeKey, CloseBox };
  // OK after the scan, the thank-you window closed, and the end of the process.
  void finishFlow(HWND scanning, Close close = Close::OkButton);
  // Saves a picture of the window as <test name>-<name>.png in the screenshot folder, where the
  // screen can be copied.
  void screenshot(HWND window, const std::string& name);

  std::unique_ptr<uidriver::RunningProgram> program;
};

}  // namespace wintest
