// A static text of a dialog turned into a web link: its text is the address, drawn in link
// colours and underlined while the pointer rests on it, with the address as a tool tip; a click
// opens the address with the system's handler.
#pragma once

#include <cstdint>

#include "app/hyperlink_label_state.h"
#include "ui/control.h"
#include "ui/font.h"
#include "ui/tool_tip.h"

class CHyperlinkLabel : public ui::Static {
 public:
  CHyperlinkLabel() = default;
  ~CHyperlinkLabel() override;

  bool preTranslateMessage(tagMSG& message) override;
  bool reflectColor(std::uintptr_t deviceContext, std::intptr_t& brush) override;
  bool reflectCommand(int code) override;

 protected:
  void preSubclass() override;
  bool onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::intptr_t& result) override;

 private:
  void onPointerMoved();
  void onPollTick();
  void onClicked();
  void useFont(const ui::Font& font);

  HyperlinkLabelState m_state;
  ui::Font m_underlinedFont;
  ui::Font m_plainFont;
  ui::ToolTip m_tip;
  const int m_pollTimerId = 100;
};
