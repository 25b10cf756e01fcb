// Laying probes out in a specimen image: where each pattern goes and which section maps it there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "specimens/pe_image_builder.h"

namespace specimens {

// The entry point of every specimen unless a variant needs another: far enough from zero that
// every record's probes have positive addresses.
constexpr std::uint32_t kEntryRva = 0x30000;
// Contents start one slot after the headers; the slot at SizeOfHeaders itself is kept free for
// the probe that maps to offset 0.
constexpr std::uint32_t kContentSlot = 0x40;
constexpr std::uint32_t kFirstContent = kSizeOfHeaders + kContentSlot;

struct Placement {
  std::uint32_t rva = 0;
  std::string bytes;
};

// The record's two patterns at the entry point plus its offsets: first pattern first.
std::vector<Placement> probesOf(int recordNumber, std::uint32_t entryRva);

// Each placement gets a section of its own, and the sections are ordered by address with each
// ending where the next begins, so that every address is taken by the section that starts at
// it. Contents follow one another from kFirstContent. Throws when two placements share an
// address.
ImageLayout placeInOwnSections(std::uint32_t entryRva, const std::vector<Placement>& placements,
                               std::uint32_t fileLength);

// The section of `layout` that starts at `rva`, and the content that section maps.
SectionSpec& sectionAt(ImageLayout& layout, std::uint32_t rva);
Content& contentAt(ImageLayout& layout, std::uint32_t fileOffset);

}  // namespace specimens
