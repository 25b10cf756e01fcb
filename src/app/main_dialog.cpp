#include "app/main_dialog.h"

#include "common/bounded_text.h"
#include "res/resource.h"
#include "scan/scan_progress_dialog.h"
#include "scan/scan_session.h"
#include "ui/win32_handles.h"

CMainDialog::CMainDialog()
    : ui::Dialog(IDD_MAIN),
      m_icon(reinterpret_cast<std::uintptr_t>(
          LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VANDREL)))) {}

void CMainDialog::bindControls() { bindControl(m_downloadLink, IDC_DOWNLOAD_LINK); }

bool CMainDialog::onInitDialog() {
  const ScanSession& session = scanSession();
  char line[platform::kMaxPath] = "";
  text::format(line, sizeof line, "%s - Program to detect and clean variants of %s",
               session.mainCaption, session.virusFamilyName);
  setItemText(IDC_TITLE_LINE, line);
  text::format(line, sizeof line, "Scan the computer for the presence of %s now?",
               session.virusFamilyName);
  setItemText(IDC_QUESTION, line);

  send(WM_SETICON, ICON_BIG, static_cast<std::intptr_t>(m_icon));
  send(WM_SETICON, ICON_SMALL, static_cast<std::intptr_t>(m_icon));
  setText(session.appCaption);
  return true;
}

void CMainDialog::onOK() {
  text::copy(scanSession().scanTarget, "C:");
  CScanProgressDialog scanning;
  scanning.runModal();
  ui::Dialog::onOK();
}

bool CMainDialog::onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                            std::intptr_t& result) {
  switch (message) {
    case WM_PAINT:
      result = 0;
      return onPaint();
    case WM_QUERYDRAGICON:
      result = static_cast<std::intptr_t>(m_icon);
      return true;
    default:
      return false;
  }
}

// Minimised, the dialog shows the program's icon in the middle of its client area; otherwise
// the default painting draws it.
bool CMainDialog::onPaint() {
  HWND window = ui::toHwnd(handle());
  if (!IsIconic(window)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  send(WM_ICONERASEBKGND, reinterpret_cast<std::uintptr_t>(dc));
  RECT client;
  GetClientRect(window, &client);
  int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, reinterpret_cast<HICON>(m_icon));
  EndPaint(window, &paint);
  return true;
}
