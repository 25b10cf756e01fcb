// Which Windows this is, for the few file calls whose flags or existence differ between the
// 95/98/Me family, NT 4.0 and the NT family from Windows 2000 on.
#pragma once

#include <windows.h>

namespace platform::win32 {

// The NT family (NT 4.0, 2000, XP and every later Windows) rather than 95, 98 or Me.
inline bool ntFamily() {
  static const bool nt = (GetVersion() & 0x80000000u) == 0;
  return nt;
}

// Windows 2000 and later: reparse points (links and junctions) exist, and an access list can be
// protected from what its parent passes down. NT 4.0 rejects the flags that ask for either.
inline bool ntFamilyFrom2000() {
  static const bool from2000 = ntFamily() && LOBYTE(LOWORD(GetVersion())) >= 5;
  return from2000;
}

}  // namespace platform::win32
