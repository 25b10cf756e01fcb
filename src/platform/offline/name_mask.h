// Search masks as the system's directory search reads them ("*.*", "plain.*", "msbl?st.exe"),
// for listings of an installation's folders.
#pragma once

namespace platform::offline {

// True when `name` matches `mask`: '*' stands for any run of characters, '?' for any one, and
// letters compare without regard to case. A mask ending in ".*" also matches a name without an
// extension, so that "*.*" matches every name.
bool matchesMask(const char* mask, const char* name);

// True for the masks that match every name: "*" and "*.*".
bool matchesEveryName(const char* mask);

}  // namespace platform::offline
