// version_resource_seeds FOLDER: writes images with a version resource, 32-bit and 64-bit, as
// seeds for the fuzz target of the version reading.
#include <cstdio>
#include <fstream>
#include <string>

#include "specimens/version_image.h"

namespace {

bool writeSeed(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: version_resource_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  using specimens::ImageWidth;
  bool ok = writeSeed(folder + "/image-32",
                      specimens::versionImage(5, 0, 2195, 6753, ImageWidth::k32).bytes) &&
            writeSeed(folder + "/image-64",
                      specimens::versionImage(5, 1, 2600, 2180, ImageWidth::k64).bytes);
  if (!ok) {
    std::fprintf(stderr, "version_resource_seeds: cannot write to %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
