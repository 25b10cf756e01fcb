// Fonts owned by a window object: one move-only owner that deletes the font.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"

namespace ui {

struct FontTraits {
  using Value = std::uintptr_t;  // an HFONT
  static Value none() { return 0; }
  static bool isValid(Value font) { return font != 0; }
  static void close(Value font);
};
using Font = platform::ScopedHandle<FontTraits>;

// The font `window` draws with; when it has none, the stock GUI font, or the stock variable
// font when that is missing too; 0 when no font at all can be had. The result is not owned.
std::uintptr_t fontOfWindow(std::uintptr_t window);

// A new font like `source` (an exact copy, or the same font underlined); none on failure.
Font copyFont(std::uintptr_t source, bool underlined);

}  // namespace ui
