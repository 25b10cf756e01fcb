#include "platform/win32/code_page_names.h"

#include <cwchar>

#include "common/bounded_text.h"

namespace platform::win32 {
namespace {

// A listed name has fewer than MAX_PATH UTF-16 units; each takes at most three bytes in any
// code page.
constexpr int kNameUnits = MAX_PATH;
constexpr int kNameBytes = 3 * kNameUnits;

}  // namespace

bool widen(const char* text, WCHAR* wide, std::size_t capacity) {
  if (capacity == 0) return false;
  int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide,
                                   capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(capacity));
  if (length == 0) wide[0] = L'\0';
  return length > 0;
}

bool narrowExactly(const WCHAR* wide, char* text, std::size_t capacity) {
  if (capacity == 0) return false;
  // Converted first into room enough for any name, so that a name too long for `text` is still
  // had (cut) rather than lost.
  char converted[kNameBytes];
  BOOL usedDefault = FALSE;
  // The UTF-8 code page, which later Windows may make the system's, refuses to be asked whether
  // a default was used; it has no best fit either, and the way back below catches the rest.
  BOOL* askDefault = GetACP() == CP_UTF8 ? nullptr : &usedDefault;
  int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, converted, kNameBytes, nullptr, askDefault);
  if (length == 0) {
    text::copy(text, capacity, "?");
    return false;
  }
  bool fits = text::copy(text, capacity, converted);
  if (!fits || usedDefault) return false;
  // A best-fit look-alike converts without the default character; only the way back shows that
  // the text names another file.
  WCHAR back[kNameUnits];
  int backLength = MultiByteToWideChar(CP_ACP, 0, converted, -1, back, kNameUnits);
  if (backLength <= 0) return false;
  for (int i = 0; i < backLength; ++i) {
    if (back[i] != wide[i]) return false;
  }
  return true;
}

}  // namespace platform::win32
