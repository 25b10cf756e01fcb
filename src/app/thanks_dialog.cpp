#include "app/thanks_dialog.h"

#include "common/bounded_text.h"
#include "res/resource.h"
#include "scan/scan_session.h"

CThanksDialog::CThanksDialog(ui::Window* parent) : ui::Dialog(IDD_THANKS, parent) {}

void CThanksDialog::bindControls() { bindControl(m_homeLink, IDC_HOME_LINK); }

bool CThanksDialog::onInitDialog() {
  const ScanSession& session = scanSession();
  setText(session.appCaption);
  // The sentence goes on in the static text below this line.
  char line[platform::kMaxPath] = "";
  text::format(line, sizeof line,
               "Thank you for using the %s program. You can protect your computer",
               session.productShortName);
  setItemText(IDC_TITLE_LINE, line);
  return true;
}
