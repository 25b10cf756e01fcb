#include "engine/pe_header_view.h"

#include <cstring>

#include "common/little_endian.h"
#include "platform/file_system.h"

namespace {

using bytes::littleEndian16;
using bytes::littleEndian32;

constexpr std::uint32_t kNewHeaderOffsetField = 60;
constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint32_t kFileHeaderOffset = 4;
constexpr std::uint32_t kOptionalHeaderOffset = 24;
// Where the section table follows a 224-byte optional header, as it does in a 32-bit image.
constexpr std::uint32_t kSectionTableOffset = 248;

// Every read of the headers: exactly `count` bytes at `offset`, or failure on a short read.
bool readExactly(platform::Handle file, std::uint32_t offset, void* buffer, int count) {
  return platform::files().readAt(file, offset, buffer, count);
}

}  // namespace

std::uint16_t PeHeaderView::numberOfSections() const { return littleEndian16(fileHeader + 2); }

std::uint32_t PeHeaderView::addressOfEntryPoint() const {
  return littleEndian32(optionalHeaderHead + 16);
}

std::uint32_t PeHeaderView::sizeOfHeaders() const {
  return littleEndian32(optionalHeaderHead + 60);
}

PeSection PeHeaderView::section(int index) const {
  const std::uint8_t* entry = sectionTable[index];
  return {littleEndian32(entry + 8), littleEndian32(entry + 12), littleEndian32(entry + 20)};
}

int readPeFileHeader(PeHeaderView& view, platform::Handle file) {
  view.newHeaderOffset = 0;
  std::memset(view.fileHeader, 0, sizeof view.fileHeader);

  // Deliberately only the low half of the 32-bit new-header field: the check has always read it
  // so, and images whose header lies beyond 64 KiB are not among the family's builds.
  std::uint8_t offsetBytes[2];
  if (!readExactly(file, kNewHeaderOffsetField, offsetBytes, sizeof offsetBytes)) return 0;
  view.newHeaderOffset = littleEndian16(offsetBytes);

  std::uint8_t signature[4];
  if (!readExactly(file, view.newHeaderOffset, signature, sizeof signature) ||
      littleEndian32(signature) != kPeSignature) {
    return 0;
  }
  return readExactly(file, view.newHeaderOffset + kFileHeaderOffset, view.fileHeader,
                     kPeFileHeaderSize)
             ? 1
             : 0;
}

int readPeSections(PeHeaderView& view, platform::Handle file) {
  if (!readExactly(file, view.newHeaderOffset + kOptionalHeaderOffset, view.optionalHeaderHead,
                   kPeOptionalHeaderHeadSize)) {
    return 0;
  }
  int count = view.numberOfSections();
  if (count > maxPeSections) return 0;
  std::memset(view.sectionTable, 0, sizeof view.sectionTable);
  if (count == 0) return 1;
  // Deliberately at a fixed distance, whatever SizeOfOptionalHeader says: the family's builds
  // are 32-bit images, whose section table lies there.
  return readExactly(file, view.newHeaderOffset + kSectionTableOffset, view.sectionTable,
                     count * kPeSectionHeaderSize)
             ? 1
             : 0;
}

std::uint32_t entryRvaToFileOffset(const PeHeaderView& view, std::uint32_t rva,
                                   std::int64_t fileLength) {
  int count = view.numberOfSections();
  if (count > maxPeSections) count = maxPeSections;

  std::uint32_t offset = rva;
  if (count > 0) {
    // An address beyond every section is mapped through the last one.
    PeSection chosen = view.section(count - 1);
    for (int index = 0; index < count; ++index) {
      PeSection candidate = view.section(index);
      // Deliberately the 32-bit end, which wraps: a section whose end passes 4 GiB takes the
      // low addresses, and only the end is compared, never the start.
      std::uint32_t end = candidate.virtualAddress + candidate.virtualSize;
      if (rva < end) {
        chosen = candidate;
        break;
      }
    }
    offset = rva - chosen.virtualAddress + chosen.pointerToRawData;
  }
  if (static_cast<std::int64_t>(offset) >= fileLength) offset = rva;
  return offset == 0 ? view.sizeOfHeaders() : offset;
}
