// Writes an RGB image as a PNG file, without compression (stored deflate blocks), so that no
// library is needed; screenshots of dialogs stay small enough.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uidriver {

// `rgb` holds height rows of width pixels, top row first, three bytes per pixel.
bool writePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace uidriver
