#include "ui/font.h"

#include <windows.h>

namespace ui {

void FontTraits::close(Value font) { DeleteObject(reinterpret_cast<HFONT>(font)); }

std::uintptr_t fontOfWindow(std::uintptr_t window) {
  auto font =
      reinterpret_cast<HGDIOBJ>(SendMessageA(reinterpret_cast<HWND>(window), WM_GETFONT, 0, 0));
  if (font == nullptr) font = GetStockObject(DEFAULT_GUI_FONT);
  if (font == nullptr) font = GetStockObject(ANSI_VAR_FONT);
  return reinterpret_cast<std::uintptr_t>(font);
}

Font copyFont(std::uintptr_t source, bool underlined) {
  LOGFONTA description;
  if (source == 0 || GetObjectA(reinterpret_cast<HGDIOBJ>(source), sizeof description,
                                &description) != static_cast<int>(sizeof description)) {
    return Font();
  }
  if (underlined) description.lfUnderline = TRUE;
  return Font(reinterpret_cast<std::uintptr_t>(CreateFontIndirectA(&description)));
}

}  // namespace ui
