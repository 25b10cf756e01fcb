// The last window of every scan: thanks the user and links to the maker's home page.
#pragma once

#include "app/hyperlink_label.h"
#include "ui/dialog.h"

class CThanksDialog : public ui::Dialog {
 public:
  explicit CThanksDialog(ui::Window* parent = nullptr);

 protected:
  void bindControls() override;
  bool onInitDialog() override;

 private:
  CHyperlinkLabel m_homeLink;
};
