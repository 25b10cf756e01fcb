#include "ui/tool_tip.h"

#include "ui/win32_handles.h"

#include <commctrl.h>

namespace ui {

bool ToolTip::create(WindowHandle owner) {
  destroy();
  HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, toHwnd(owner), nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  handle_ = fromHwnd(tip);
  return tip != nullptr;
}

bool ToolTip::addTool(WindowHandle tool, const char* text, unsigned id) {
  if (handle_ == 0) return false;
  TOOLINFOA info = {};
  // The first structure's size, up to the text: the one every version of the common controls
  // accepts, the 4.00 of Windows 95 and NT 4.0 among them. lParam and later fields are not used.
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.hwnd = toHwnd(tool);
  info.uId = id;
  info.hinst = GetModuleHandleA(nullptr);
  // The tool tip keeps its own copy of the text.
  info.lpszText = const_cast<char*>(text);
  GetClientRect(toHwnd(tool), &info.rect);
  return SendMessageA(toHwnd(handle_), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

void ToolTip::relayEvent(tagMSG& message) {
  if (handle_ != 0) {
    SendMessageA(toHwnd(handle_), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
  }
}

void ToolTip::destroy() {
  if (handle_ != 0 && IsWindow(toHwnd(handle_))) DestroyWindow(toHwnd(handle_));
  handle_ = 0;
}

}  // namespace ui
