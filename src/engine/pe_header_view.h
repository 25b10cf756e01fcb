// The headers of a file under test, read as a PE image: the new-header offset, the file header,
// the head of the optional header and the section table. Fields are decoded from the bytes as
// stored (little-endian), never by laying a structure over them.
#pragma once

#include <cstdint>

#include "platform/types.h"

constexpr int maxPeSections = 20;
constexpr int kPeFileHeaderSize = 20;
constexpr int kPeOptionalHeaderHeadSize = 96;
constexpr int kPeSectionHeaderSize = 40;

struct PeSection {
  std::uint32_t virtualSize = 0;
  std::uint32_t virtualAddress = 0;
  std::uint32_t pointerToRawData = 0;
};

struct PeHeaderView {
  std::uint16_t newHeaderOffset = 0;
  std::uint8_t fileHeader[kPeFileHeaderSize] = {};
  std::uint8_t optionalHeaderHead[kPeOptionalHeaderHeadSize] = {};
  // Entries beyond the file's section count stay zero.
  std::uint8_t sectionTable[maxPeSections][kPeSectionHeaderSize] = {};

  std::uint16_t numberOfSections() const;
  std::uint32_t addressOfEntryPoint() const;
  std::uint32_t sizeOfHeaders() const;
  PeSection section(int index) const;
};

// Reads the new-header offset, checks the PE signature there and reads the file header.
// Returns 1 on success, 0 when the file is not a PE image or a read falls short.
int readPeFileHeader(PeHeaderView& view, platform::Handle file);

// After readPeFileHeader: reads the optional header's head and the section table. Returns 1 on
// success, 0 when a read falls short or the file declares more than maxPeSections sections.
int readPeSections(PeHeaderView& view, platform::Handle file);

// The file offset at which to read the bytes of address `rva` of a file of `fileLength` bytes.
std::uint32_t entryRvaToFileOffset(const PeHeaderView& view, std::uint32_t rva,
                                   std::int64_t fileLength);
