// How long Windows takes a name or path of the mount to be. ntfs-3g shows NTFS's UTF-16 names as
// UTF-8, and Windows limits names (255) and paths (MAX_PATH) in UTF-16 units: a character of the
// Basic Multilingual Plane is one unit however many bytes its UTF-8 takes, one beyond it two.
#pragma once

#include <cstddef>

namespace platform::offline {

// The UTF-16 units of the UTF-8 text `text`. A byte that begins no well-formed sequence counts as
// one unit of its own, as the character it would be converted to in its place.
std::size_t utf16Length(const char* text);

}  // namespace platform::offline
