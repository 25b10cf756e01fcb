// Writes a small 32-bit PE image from a description: a DOS header, the PE headers, a section
// table, and chosen bytes at chosen file offsets, zeros elsewhere. Only as valid as the worm
// check needs; nothing in it runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace specimens {

struct SectionSpec {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t pointerToRawData = 0;
};

struct Content {
  std::uint32_t fileOffset = 0;
  std::string bytes;
};

// The standard places of a 32-bit image: the PE header at 0x80, the section table right after
// the 224-byte optional header, the first content after the headers.
constexpr std::uint32_t kPeHeaderOffset = 0x80;
constexpr std::uint32_t kSectionTableOffset = kPeHeaderOffset + 24 + 224;
constexpr std::uint32_t kSizeOfHeaders = 0x600;
constexpr std::uint32_t kSectionHeaderSize = 40;

struct ImageLayout {
  std::uint32_t newHeaderField = kPeHeaderOffset;  // the 32-bit value stored at offset 60
  std::uint16_t declaredOptionalHeaderSize = 224;
  std::uint32_t entryRva = 0;
  std::uint32_t sizeOfHeaders = kSizeOfHeaders;
  std::vector<SectionSpec> sections;
  std::vector<Content> contents;
  std::uint32_t fileLength = 0;
};

// The file's bytes. Throws std::logic_error when a content lies outside the file, inside the
// headers, or over another content: a specimen must be exactly what its description says.
std::string renderImage(const ImageLayout& layout);

void putLittleEndian16(std::string& bytes, std::size_t offset, std::uint16_t value);
void putLittleEndian32(std::string& bytes, std::size_t offset, std::uint32_t value);

}  // namespace specimens
