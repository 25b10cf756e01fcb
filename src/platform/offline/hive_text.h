// Registry strings as the rescue resolves paths from them: UTF-16LE as stored, turned into the
// UTF-8 that names are spelt in on a Linux mount of the installation.
#pragma once

#include <cstddef>
#include <string>

namespace platform::offline {

// The UTF-16LE text in `bytes` (`length` bytes) as UTF-8, up to its first NUL (a REG_SZ is
// stored with one, and whatever follows it is not part of the text). An odd last byte is left
// out; a lone surrogate becomes U+FFFD, which no name on the disk holds, so that a path with one
// leads nowhere rather than somewhere else.
std::string utf8FromUtf16(const char* bytes, std::size_t length);

}  // namespace platform::offline
