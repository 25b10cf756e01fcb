// The first window: names the program and the worm family, asks whether to scan, and links to
// the maker's download page. OK runs the whole scan flow; Cancel ends the program.
#pragma once

#include <cstdint>

#include "app/hyperlink_label.h"
#include "ui/dialog.h"

class CMainDialog : public ui::Dialog {
 public:
  CMainDialog();

 protected:
  void bindControls() override;
  bool onInitDialog() override;
  void onOK() override;
  bool onMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                 std::intptr_t& result) override;

 private:
  bool onPaint();

  CHyperlinkLabel m_downloadLink;
  std::uintptr_t m_icon;  // shared, never destroyed
};
