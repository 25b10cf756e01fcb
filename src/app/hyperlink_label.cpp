#include "app/hyperlink_label.h"

#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include "scan/scan_session.h"
#include "ui/win32_handles.h"

namespace {

constexpr unsigned kPollPeriodMs = 100;
constexpr unsigned kToolId = 1;
// Leaving repaints a little below the label as well, where the underline may have reached.
constexpr int kLeaveRepaintMargin = 10;

class ShellOpener final : public HyperlinkLabelState::Opener {
 public:
  bool open(const char* address) override {
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
  }
};

}  // namespace

CHyperlinkLabel::~CHyperlinkLabel() { m_tip.destroy(); }

void CHyperlinkLabel::preSubclass() {
  HWND window = ui::toHwnd(handle());
  SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | SS_NOTIFY);

  // One character more than an address may have, so that a longer one is noticed.
  char text[platform::kMaxPath + 1] = "";
  GetWindowTextA(window, text, sizeof text);
  m_state.takeTarget(text);

  // Without any font the label keeps the dialog's and is never underlined.
  std::uintptr_t font = ui::fontOfWindow(handle());
  m_plainFont = ui::copyFont(font, false);
  m_underlinedFont = ui::copyFont(font, true);

  if (m_tip.create(handle())) m_tip.addTool(handle(), m_state.target(), kToolId);
}

bool CHyperlinkLabel::preTranslateMessage(tagMSG& message) {
  m_tip.relayEvent(message);
  return false;
}

bool CHyperlinkLabel::onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                std::intptr_t& result) {
  switch (message) {
    case WM_SETCURSOR:
      // No pointer shape of its own, and the dialog is not asked for one either.
      result = FALSE;
      return true;
    case WM_MOUSEMOVE:
      onPointerMoved();
      return false;
    case WM_TIMER:
      onPollTick();
      return false;
    case WM_ERASEBKGND: {
      HWND window = ui::toHwnd(handle());
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      result = TRUE;
      return true;
    }
    case WM_DESTROY:
      stopTimer(m_pollTimerId);
      m_tip.destroy();
      return false;
    default:
      return false;
  }
}

bool CHyperlinkLabel::reflectColor(std::uintptr_t deviceContext, std::intptr_t& brush) {
  HDC dc = reinterpret_cast<HDC>(deviceContext);
  SetTextColor(dc, m_state.textColor());
  SetBkMode(dc, TRANSPARENT);
  brush = reinterpret_cast<std::intptr_t>(GetStockObject(NULL_BRUSH));
  return true;
}

bool CHyperlinkLabel::reflectCommand(int code) {
  if (code != STN_CLICKED) return false;
  onClicked();
  return true;
}

void CHyperlinkLabel::onPointerMoved() {
  if (!m_state.pointerMoved()) return;
  useFont(m_underlinedFont);
  invalidate(true);
  startTimer(m_pollTimerId, kPollPeriodMs);
}

void CHyperlinkLabel::onPollTick() {
  HWND window = ui::toHwnd(handle());
  DWORD position = GetMessagePos();
  POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ScreenToClient(window, &point);
  RECT client;
  GetClientRect(window, &client);
  if (!m_state.pollTick(PtInRect(&client, point) != FALSE)) return;
  stopTimer(m_pollTimerId);
  useFont(m_plainFont);
  client.bottom += kLeaveRepaintMargin;
  InvalidateRect(window, &client, TRUE);
}

void CHyperlinkLabel::onClicked() {
  ShellOpener shell;
  bool opened = m_state.clicked(shell);
  // Repainted either way: a failure after an earlier success turns the label blue again.
  if (isWindow()) invalidate(true);
  if (!opened) messageBox("Unable to launch Internet Browser", scanSession().appCaption, MB_OK);
}

void CHyperlinkLabel::useFont(const ui::Font& font) {
  if (font) send(WM_SETFONT, font.get(), TRUE);
}
