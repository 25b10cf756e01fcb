// A small DLL image whose one resource of interest is a version resource stating a chosen file
// version, built as a linker lays one out: a code section, then a resource section whose root
// lists a named type and an icon type before the version. The file offsets of its parts are
// handed out so that a test can spoil exactly one of them.
#pragma once

#include <cstdint>
#include <string>

namespace specimens {

enum class ImageWidth { k32, k64 };

struct VersionImage {
  std::string bytes;
  // File offsets of the parts a test may spoil.
  std::uint32_t fileHeader = 0;             // the PE file header (after the signature)
  std::uint32_t optionalHeader = 0;         // the optional header, its magic first
  std::uint32_t directoryCount = 0;         // the count of data directories
  std::uint32_t resourceDataDirectory = 0;  // the resources' data directory: address, size
  std::uint32_t resourceSectionHeader = 0;  // the resource section's header
  std::uint32_t rootDirectory = 0;          // the root of the resource directory
  std::uint32_t versionTypeEntry = 0;       // the root's entry for type 16
  std::uint32_t nameDirectory = 0;          // the version type's directory of names
  std::uint32_t languageDirectory = 0;      // the first name's directory of languages
  std::uint32_t languageEntry = 0;          // that directory's first entry
  std::uint32_t dataEntry = 0;              // the first language's data entry
  std::uint32_t versionInfo = 0;            // VS_VERSIONINFO
  std::uint32_t fixedFileInfo = 0;          // its VS_FIXEDFILEINFO
  // Image addresses.
  std::uint32_t resourceAddress = 0;  // of the resource directory
};

VersionImage versionImage(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d,
                          ImageWidth width = ImageWidth::k32);

}  // namespace specimens
