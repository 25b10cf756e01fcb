#include "specimens/probe_layout.h"

#include <algorithm>
#include <stdexcept>

#include "specimens/specimen_records.h"

namespace specimens {

std::vector<Placement> probesOf(int recordNumber, std::uint32_t entryRva) {
  const RecordFacts& facts = record(recordNumber);
  return {
      {entryRva + static_cast<std::uint32_t>(facts.firstOffset), patternBytes(facts.firstPattern)},
      {entryRva + static_cast<std::uint32_t>(facts.secondOffset),
       patternBytes(facts.secondPattern)}};
}

ImageLayout placeInOwnSections(std::uint32_t entryRva, const std::vector<Placement>& placements,
                               std::uint32_t fileLength) {
  std::vector<Placement> sorted = placements;
  std::sort(sorted.begin(), sorted.end(),
            [](const Placement& a, const Placement& b) { return a.rva < b.rva; });
  ImageLayout layout;
  layout.entryRva = entryRva;
  layout.fileLength = fileLength;
  for (std::size_t index = 0; index < sorted.size(); ++index) {
    bool last = index + 1 == sorted.size();
    if (!last && sorted[index + 1].rva == sorted[index].rva) {
      throw std::logic_error("two probes at one address");
    }
    std::uint32_t size = last ? 0x1000 : sorted[index + 1].rva - sorted[index].rva;
    std::uint32_t offset = kFirstContent + static_cast<std::uint32_t>(index) * kContentSlot;
    layout.sections.push_back({sorted[index].rva, size, offset});
    layout.contents.push_back({offset, sorted[index].bytes});
  }
  return layout;
}

SectionSpec& sectionAt(ImageLayout& layout, std::uint32_t rva) {
  for (SectionSpec& section : layout.sections) {
    if (section.virtualAddress == rva) return section;
  }
  throw std::logic_error("no section starts there");
}

Content& contentAt(ImageLayout& layout, std::uint32_t fileOffset) {
  for (Content& content : layout.contents) {
    if (content.fileOffset == fileOffset) return content;
  }
  throw std::logic_error("no content there");
}

}  // namespace specimens
