// The version a PE file states of itself: the fixed part of its version resource, read with the
// same bounded reading as the identification's. Every offset and count the file declares is
// checked before it is used, and only the few bytes on the way are read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

// A file version a.b.c.d as the version resource keeps it: two 32-bit halves, each holding two
// 16-bit parts, the more significant one high.
struct FileVersion {
  std::uint32_t high = 0;  // a << 16 | b
  std::uint32_t low = 0;   // c << 16 | d
};

constexpr FileVersion fileVersion(std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                  std::uint16_t d) {
  return {static_cast<std::uint32_t>(a) << 16 | b, static_cast<std::uint32_t>(c) << 16 | d};
}

// Whether `version` is `threshold` or a later one.
inline bool atLeast(const FileVersion& version, const FileVersion& threshold) {
  return version.high != threshold.high ? version.high > threshold.high
                                        : version.low >= threshold.low;
}

// "a.b.c.d"; false (the text cut) when it does not fit.
bool formatFileVersion(const FileVersion& version, char* buffer, std::size_t capacity);

// Reads the file version of the PE image open as `file` from its version resource: resource
// type 16, its first name, that name's first language, whose data begin with VS_VERSIONINFO and
// its fixed part (signature 0xFEEF04BD). 32-bit and 64-bit images alike. False when the file is
// no PE image, has no version resource, or anything on the way lies outside the file, its
// sections or its resource directory, or is not what it should be; `version` is untouched then.
bool readFileVersion(platform::Handle file, FileVersion& version);
