#include "scan/scan_progress_dialog.h"

#include <windows.h>

#include "app/thanks_dialog.h"
#include "common/bounded_text.h"
#include "res/resource.h"
#include "scan/scan_driver.h"
#include "scan/scan_session.h"
#include "ui/win32_handles.h"

namespace {

// The scan starts by a one-shot timer, so that the window is on screen before it runs.
constexpr std::uintptr_t scanTimerId = 100;
constexpr unsigned kScanStartDelayMs = 100;
// Wide enough for a full path and a variant name, so long lines can be scrolled sideways.
constexpr int kLogHorizontalExtent = 650;

}  // namespace

CScanProgressDialog::CScanProgressDialog() : ui::Dialog(IDD_SCAN_PROGRESS) {}

void CScanProgressDialog::bindControls() {
  bindControl(m_cancelButton, IDCANCEL);
  bindControl(m_okButton, IDC_SCAN_OK);
  bindControl(m_statusLine, IDC_SCAN_STATUS);
  bindControl(m_logList, IDC_SCAN_LOG);
}

bool CScanProgressDialog::onInitDialog() {
  ScanSession& session = scanSession();
  char line[platform::kMaxPath] = "";
  text::format(line, sizeof line, "Searching for variants of %s files...", session.virusFamilyName);
  setItemText(IDC_TITLE_LINE, line);
  setText(session.appCaption);
  m_logList.setHorizontalExtent(kLogHorizontalExtent);
  session.scanDialogWindow = handle();
  startTimer(scanTimerId, kScanStartDelayMs);
  m_okButton.show(false);
  return true;
}

bool CScanProgressDialog::onMessage(std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam, std::intptr_t& result) {
  result = 0;
  switch (message) {
    case WM_SCAN_STATUS:
      if (statusPacing_.paintNow(wParam == kStatusOfPassingEntry)) showStatusText();
      return true;
    case WM_SCAN_APPENDLOG:
      // A line about a file is read beside the status line: it shows that file's entry, not
      // one held back before it.
      if (statusPacing_.catchUp()) showStatusText();
      appendLogLineToList(m_logList);
      return true;
    case WM_ENTERIDLE:
      // A message box over this window (the cancel prompt, the restart offer) waits for an
      // answer: the status line shows the entry the question is about, not one before it.
      if (statusPacing_.catchUp()) showStatusText();
      return true;
    case WM_TIMER:
      if (wParam == scanTimerId) onTimer();
      return true;
    case WM_PAINT: {
      // The controls paint themselves.
      PAINTSTRUCT paint;
      HWND window = ui::toHwnd(handle());
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return true;
    }
    default:
      return false;
  }
}

bool CScanProgressDialog::onCommand(int id, int code) {
  if (id != IDC_SCAN_OK || code != BN_CLICKED) return false;
  onScanOK();
  return true;
}

// The whole scan runs inside this handler; the walker's message pump keeps the window alive. The
// scan runs once: a timer message that another program posts while it runs, or after it, starts
// nothing.
void CScanProgressDialog::onTimer() {
  stopTimer(scanTimerId);
  if (scanStarted_) return;
  scanStarted_ = true;
  scanSession().scanTerminated = 0;
  runScan();
  showOKInsteadOfCancel();
}

// Cancel asks; the dialog stays open and the running walk ends at its next check.
void CScanProgressDialog::onCancel() {
  int answer = messageBox("Terminate the Scan now?", "Warning", MB_YESNO | MB_ICONINFORMATION);
  if (answer == IDNO) return;
  showOKInsteadOfCancel();
  scanSession().scanTerminated = 1;
}

void CScanProgressDialog::onScanOK() {
  endDialog(0);
  CThanksDialog thanks;
  thanks.runModal();
}

void CScanProgressDialog::showStatusText() { m_statusLine.setText(scanSession().statusText); }

void CScanProgressDialog::showOKInsteadOfCancel() {
  m_cancelButton.show(false);
  m_okButton.show(true);
}
