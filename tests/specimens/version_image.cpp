#include "specimens/version_image.h"

#include "specimens/pe_image_builder.h"

namespace specimens {
namespace {

constexpr std::uint32_t kPe = 0x80;
constexpr std::uint32_t kCodeAddress = 0x1000;
constexpr std::uint32_t kCodeFileOffset = 0x200;
constexpr std::uint32_t kResourceSectionAddress = 0x2000;
constexpr std::uint32_t kResourceFileOffset = 0x400;
constexpr std::uint32_t kSectionFileSize = 0x200;
constexpr std::uint32_t kFileLength = 0x600;
constexpr std::uint32_t kSubdirectory = 0x80000000;

// The resource section, by offset from its start.
constexpr std::uint32_t kRoot = 0x00;       // 3 entries: a named type, type 3, type 16
constexpr std::uint32_t kNames = 0x28;      // 1 entry: name 1
constexpr std::uint32_t kLanguages = 0x40;  // 1 entry: language 0x409
constexpr std::uint32_t kEmpty = 0x58;      // no entries: what the other types lead to
constexpr std::uint32_t kData = 0x68;
constexpr std::uint32_t kTypeName = 0x78;  // the named type's name: a count, then UTF-16
constexpr std::uint32_t kVersionInfo = 0x88;
constexpr std::uint32_t kVersionInfoSize = 92;
constexpr std::uint32_t kResourceSize = kVersionInfo + kVersionInfoSize;

void putDirectory(std::string& bytes, std::uint32_t at, std::uint16_t named,
                  std::uint16_t numbered) {
  putLittleEndian16(bytes, at + 12, named);
  putLittleEndian16(bytes, at + 14, numbered);
}

void putEntry(std::string& bytes, std::uint32_t at, std::uint32_t name, std::uint32_t target) {
  putLittleEndian32(bytes, at, name);
  putLittleEndian32(bytes, at + 4, target);
}

void putSection(std::string& bytes, std::uint32_t at, const char* name, std::uint32_t address,
                std::uint32_t fileOffset) {
  bytes.replace(at, std::string(name).size(), name);
  putLittleEndian32(bytes, at + 8, kSectionFileSize);
  putLittleEndian32(bytes, at + 12, address);
  putLittleEndian32(bytes, at + 16, kSectionFileSize);
  putLittleEndian32(bytes, at + 20, fileOffset);
}

}  // namespace

VersionImage versionImage(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d,
                          ImageWidth width) {
  bool wide = width == ImageWidth::k64;
  VersionImage image;
  std::string& bytes = image.bytes;
  bytes.assign(kFileLength, '\0');
  bytes.replace(0, 2, "MZ");
  putLittleEndian32(bytes, 60, kPe);
  bytes.replace(kPe, 4, std::string("PE\0\0", 4));

  image.fileHeader = kPe + 4;
  std::uint16_t optionalSize = wide ? 240 : 224;
  putLittleEndian16(bytes, image.fileHeader, wide ? 0x8664 : 0x014C);
  putLittleEndian16(bytes, image.fileHeader + 2, 2);
  putLittleEndian16(bytes, image.fileHeader + 16, optionalSize);
  putLittleEndian16(bytes, image.fileHeader + 18, wide ? 0x2022 : 0x2102);  // a DLL

  image.optionalHeader = image.fileHeader + 20;
  std::uint32_t optional = image.optionalHeader;
  putLittleEndian16(bytes, optional, wide ? 0x020B : 0x010B);
  putLittleEndian32(bytes, optional + 32, 0x1000);  // section alignment
  putLittleEndian32(bytes, optional + 36, 0x200);   // file alignment
  putLittleEndian32(bytes, optional + 56, 0x3000);  // size of the image
  putLittleEndian32(bytes, optional + 60, 0x200);   // size of the headers
  image.directoryCount = optional + (wide ? 108 : 92);
  putLittleEndian32(bytes, image.directoryCount, 16);
  image.resourceDataDirectory = image.directoryCount + 4 + 2 * 8;
  putLittleEndian32(bytes, image.resourceDataDirectory, kResourceSectionAddress);
  putLittleEndian32(bytes, image.resourceDataDirectory + 4, kResourceSize);

  std::uint32_t sections = optional + optionalSize;
  putSection(bytes, sections, ".text", kCodeAddress, kCodeFileOffset);
  image.resourceSectionHeader = sections + 40;
  putSection(bytes, image.resourceSectionHeader, ".rsrc", kResourceSectionAddress,
             kResourceFileOffset);

  std::uint32_t base = kResourceFileOffset;
  image.resourceAddress = kResourceSectionAddress;
  image.rootDirectory = base + kRoot;
  putDirectory(bytes, base + kRoot, 1, 2);
  putEntry(bytes, base + kRoot + 16, kSubdirectory | kTypeName, kSubdirectory | kEmpty);
  putEntry(bytes, base + kRoot + 24, 3, kSubdirectory | kEmpty);
  image.versionTypeEntry = base + kRoot + 32;
  putEntry(bytes, image.versionTypeEntry, 16, kSubdirectory | kNames);

  image.nameDirectory = base + kNames;
  putDirectory(bytes, base + kNames, 0, 1);
  putEntry(bytes, base + kNames + 16, 1, kSubdirectory | kLanguages);
  image.languageDirectory = base + kLanguages;
  putDirectory(bytes, base + kLanguages, 0, 1);
  image.languageEntry = base + kLanguages + 16;
  putEntry(bytes, image.languageEntry, 0x409, kData);

  image.dataEntry = base + kData;
  putLittleEndian32(bytes, image.dataEntry, kResourceSectionAddress + kVersionInfo);
  putLittleEndian32(bytes, image.dataEntry + 4, kVersionInfoSize);

  putLittleEndian16(bytes, base + kTypeName, 4);
  std::string typeName = std::string("T\0E\0S\0T\0", 8);
  bytes.replace(base + kTypeName + 2, typeName.size(), typeName);

  image.versionInfo = base + kVersionInfo;
  putLittleEndian16(bytes, image.versionInfo, kVersionInfoSize);
  putLittleEndian16(bytes, image.versionInfo + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (std::uint32_t index = 0; index < sizeof key; ++index) {
    putLittleEndian16(bytes, image.versionInfo + 6 + 2 * index,
                      static_cast<std::uint8_t>(key[index]));
  }
  image.fixedFileInfo = image.versionInfo + 40;
  std::uint32_t fixed = image.fixedFileInfo;
  std::uint32_t high = static_cast<std::uint32_t>(a) << 16 | b;
  std::uint32_t low = static_cast<std::uint32_t>(c) << 16 | d;
  putLittleEndian32(bytes, fixed, 0xFEEF04BD);
  putLittleEndian32(bytes, fixed + 4, 0x00010000);
  putLittleEndian32(bytes, fixed + 8, high);
  putLittleEndian32(bytes, fixed + 12, low);
  putLittleEndian32(bytes, fixed + 16, high);  // the product version, the same
  putLittleEndian32(bytes, fixed + 20, low);
  putLittleEndian32(bytes, fixed + 24, 0x3F);     // flags mask
  putLittleEndian32(bytes, fixed + 32, 0x40004);  // NT, 32-bit Windows
  putLittleEndian32(bytes, fixed + 36, 2);        // a DLL
  return image;
}

}  // namespace specimens
