// The window the scan runs in (built with the program, not with the portable core): a title
// line, the status line, the ScanLog, and Cancel while the scan runs or OK once it has ended.
// It receives the messages through which every part of the scan writes to the screen.
#pragma once

#include <cstdint>

#include "scan/scan_log.h"
#include "scan/status_line_pacing.h"
#include "ui/control.h"
#include "ui/dialog.h"

// The ScanLog's list box.
class CScanLogList : public ui::ListBox, public LogListView {
 public:
  int count() override { return ui::ListBox::count(); }
  void clear() override { ui::ListBox::clear(); }
  void add(const char* line) override { addString(line); }
  void select(int index) override { ui::ListBox::select(index); }
};

class CScanProgressDialog : public ui::Dialog {
 public:
  CScanProgressDialog();

 protected:
  void bindControls() override;
  bool onInitDialog() override;
  void onCancel() override;
  bool onCommand(int id, int code) override;
  bool onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::intptr_t& result) override;

 private:
  void onTimer();
  void onScanOK();
  void showOKInsteadOfCancel();
  void showStatusText();

  bool scanStarted_ = false;
  StatusLinePacing statusPacing_;
  ui::Button m_cancelButton;
  ui::Button m_okButton;
  ui::Static m_statusLine;
  CScanLogList m_logList;
};
