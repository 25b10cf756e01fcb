#include <gtest/gtest.h>

#include <vector>

#include "engine/pe_header_view.h"

namespace {

void put32(std::uint8_t* at, std::uint32_t value) {
  for (int index = 0; index < 4; ++index)
    at[index] = static_cast<std::uint8_t>(value >> (8 * index));
}

PeHeaderView viewWith(const std::vector<PeSection>& sections, std::uint32_t sizeOfHeaders = 0x400) {
  PeHeaderView view;
  view.fileHeader[2] = static_cast<std::uint8_t>(sections.size());
  put32(view.optionalHeaderHead + 60, sizeOfHeaders);
  for (std::size_t index = 0; index < sections.size(); ++index) {
    put32(view.sectionTable[index] + 8, sections[index].virtualSize);
    put32(view.sectionTable[index] + 12, sections[index].virtualAddress);
    put32(view.sectionTable[index] + 20, sections[index].pointerToRawData);
  }
  return view;
}

constexpr std::int64_t kLength = 0x10000;

TEST(EntryRvaToFileOffset, TakesTheFirstSectionWhoseEndLiesBeyondTheAddress) {
  // {virtual size, virtual address, raw data}
  PeHeaderView view = viewWith({{0x1000, 0x1000, 0x2000}, {0x1000, 0x2000, 0x3000}});
  EXPECT_EQ(entryRvaToFileOffset(view, 0x1800, kLength), 0x2800u);
  EXPECT_EQ(entryRvaToFileOffset(view, 0x2100, kLength), 0x3100u);
  // Only the end is compared: an address below the first section is still mapped through it.
  EXPECT_EQ(entryRvaToFileOffset(view, 0x0F00, kLength), 0x1F00u);
  // Beyond every section: through the last one.
  EXPECT_EQ(entryRvaToFileOffset(view, 0x5000, kLength), 0x6000u);
}

TEST(EntryRvaToFileOffset, ComparesWithTheSectionEndIn32Bits) {
  // The end of the first section wraps to 0x1000: it takes the addresses below that, and
  // nothing above, however large its start.
  PeHeaderView view = viewWith({{0x2000, 0xFFFFF000, 0x400}, {0x1000, 0x4000, 0x5000}});
  EXPECT_EQ(entryRvaToFileOffset(view, 0x0800, kLength), 0x1C00u);
  EXPECT_EQ(entryRvaToFileOffset(view, 0x1000, kLength), 0x2000u);
}

TEST(EntryRvaToFileOffset, FallsBackToTheAddressOrTheHeaderSize) {
  PeHeaderView noSections = viewWith({});
  EXPECT_EQ(entryRvaToFileOffset(noSections, 0x1234, kLength), 0x1234u);
  // An offset at or past the end of the file: the address itself.
  PeHeaderView far = viewWith({{0x1000, 0x1000, 0x20000}});
  EXPECT_EQ(entryRvaToFileOffset(far, 0x1010, 0x20011), 0x20010u);
  EXPECT_EQ(entryRvaToFileOffset(far, 0x1010, 0x20010), 0x1010u);
  // An offset of 0: the size of the headers.
  PeHeaderView atZero = viewWith({{0x1000, 0x1000, 0}}, 0x600);
  EXPECT_EQ(entryRvaToFileOffset(atZero, 0x1000, kLength), 0x600u);
  EXPECT_EQ(entryRvaToFileOffset(noSections, 0, kLength), 0x400u);
}

}  // namespace
