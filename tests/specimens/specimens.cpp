#include "specimens/specimens.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "specimens/pe_image_builder.h"
#include "specimens/probe_layout.h"

namespace specimens {
namespace {

struct VariantName {
  Variant variant;
  const char* slug;
};

const VariantName kVariants[] = {
    {Variant::Plain, "plain"},
    {Variant::SizeOneByteOver, "one-byte-over"},
    {Variant::SizeOneByteUnder, "one-byte-under"},
    {Variant::SmallestNearSize, "smallest-near-size"},
    {Variant::LargestNearSize, "largest-near-size"},
    {Variant::BelowNearSize, "below-near-size"},
    {Variant::AboveNearSize, "above-near-size"},
    {Variant::ShortFile, "short-file"},
    {Variant::LongFile, "long-file"},
    {Variant::FirstPatternByteChanged, "first-pattern-changed"},
    {Variant::SecondPatternByteChanged, "second-pattern-changed"},
    {Variant::TwentySections, "twenty-sections"},
    {Variant::TwentyOneSections, "twenty-one-sections"},
    {Variant::NoSections, "no-sections"},
    {Variant::EntryBeyondEverySection, "entry-beyond-every-section"},
    {Variant::MappedOffsetZero, "mapped-offset-zero"},
    {Variant::MappedOffsetBeyondFile, "mapped-offset-beyond-file"},
    {Variant::WrappingDecoySection, "wrapping-decoy-section"},
    {Variant::HighHalfOfNewHeaderOffset, "high-half-of-header-offset"},
    {Variant::LongOptionalHeaderDeclared, "long-optional-header-declared"},
};

// A section start and size whose 32-bit end wraps to 0x1000: taken by no probe when the end is
// compared in 32 bits, by every probe when it is not.
constexpr std::uint32_t kDecoyAddress = 0xFFFFF000;
constexpr std::uint32_t kDecoySize = 0x2000;
constexpr std::uint32_t kBeyondAnyFile = 0x7FFF0000;
constexpr std::uint32_t kShortFileLength = kFirstContent + 2 * kContentSlot;
constexpr std::uint32_t kLongFileLength = 1u << 20;
constexpr std::uint32_t kUnusedSectionAddress = 0x1000;

bool applies(SizeRule rule, Variant variant) {
  switch (variant) {
    case Variant::SizeOneByteOver:
    case Variant::SizeOneByteUnder:
      return rule == SizeRule::Exact;
    case Variant::SmallestNearSize:
    case Variant::LargestNearSize:
    case Variant::BelowNearSize:
    case Variant::AboveNearSize:
      return rule == SizeRule::Near;
    case Variant::ShortFile:
    case Variant::LongFile:
      return rule == SizeRule::Any;
    default:
      return true;
  }
}

// The file length a variant asks for, and whether the record may still identify it.
std::uint32_t lengthFor(const RecordFacts& facts, Variant variant, bool& identified) {
  identified = true;
  switch (variant) {
    case Variant::SizeOneByteOver:
      identified = false;
      return facts.fileSize + 1;
    case Variant::SizeOneByteUnder:
      identified = false;
      return facts.fileSize - 1;
    case Variant::SmallestNearSize:
      return facts.fileSize - (kNearTolerance - 1);
    case Variant::LargestNearSize:
      return facts.fileSize + (kNearTolerance - 1);
    case Variant::BelowNearSize:
      identified = false;
      return facts.fileSize - kNearTolerance;
    case Variant::AboveNearSize:
      identified = false;
      return facts.fileSize + kNearTolerance;
    case Variant::ShortFile:
      return kShortFileLength;
    case Variant::LongFile:
      return kLongFileLength;
    default:
      return facts.fileSize;
  }
}

// An entry point that puts the first probe at an address which is also a free file offset, with
// the second probe's address after the contents too.
std::uint32_t entryWithProbeAddressesInsideTheFile(const RecordFacts& facts) {
  std::int64_t distance = std::int64_t{facts.secondOffset} - facts.firstOffset;
  std::int64_t firstAddress = std::max<std::int64_t>(
      kFirstContent + 0x100 + std::max<std::int64_t>(0, -distance), facts.firstOffset + 0x100);
  return static_cast<std::uint32_t>(firstAddress - facts.firstOffset);
}

// Sections that take no address: their end lies below every probe.
void addUnusedSections(ImageLayout& layout, std::size_t count, bool beforeTheProbes) {
  auto where = beforeTheProbes ? layout.sections.begin() : layout.sections.end();
  layout.sections.insert(where, count, SectionSpec{kUnusedSectionAddress, 0, 0});
}

// Both probes beyond every section, mapped through the last one.
void mapThroughALastSectionBelowTheProbes(ImageLayout& layout,
                                          const std::vector<Placement>& probes) {
  std::uint32_t lowest = std::min({layout.entryRva, probes[0].rva, probes[1].rva});
  SectionSpec last{lowest - 0x200, 0x10, kFirstContent};
  layout.sections = {{kUnusedSectionAddress, 0x1000, kSizeOfHeaders}, last};
  layout.contents.clear();
  for (const Placement& probe : probes) {
    layout.contents.push_back(
        {probe.rva - last.virtualAddress + last.pointerToRawData, probe.bytes});
  }
}

// Gives the first probe's section another raw-data pointer and moves its pattern to `fileOffset`.
void remapFirstProbe(ImageLayout& layout, const Placement& first, std::uint32_t pointer,
                     std::uint32_t fileOffset) {
  SectionSpec& section = sectionAt(layout, first.rva);
  contentAt(layout, section.pointerToRawData).fileOffset = fileOffset;
  section.pointerToRawData = pointer;
}

void applyLayoutVariant(ImageLayout& layout, Variant variant, const std::vector<Placement>& probes,
                        bool& identified) {
  switch (variant) {
    case Variant::FirstPatternByteChanged:
      contentAt(layout, sectionAt(layout, probes[0].rva).pointerToRawData).bytes[0] ^= 0x5A;
      identified = false;
      break;
    case Variant::SecondPatternByteChanged:
      contentAt(layout, sectionAt(layout, probes[1].rva).pointerToRawData).bytes[19] ^= 0x5A;
      identified = false;
      break;
    case Variant::TwentySections:
      // The probes' sections last, where only a reader of all twenty entries finds them.
      addUnusedSections(layout, 20 - layout.sections.size(), true);
      break;
    case Variant::TwentyOneSections:
      // The probes' sections first, so that only the count rejects the file.
      addUnusedSections(layout, 21 - layout.sections.size(), false);
      identified = false;
      break;
    case Variant::NoSections:
      layout.sections.clear();
      layout.contents = {{probes[0].rva, probes[0].bytes}, {probes[1].rva, probes[1].bytes}};
      break;
    case Variant::EntryBeyondEverySection:
      mapThroughALastSectionBelowTheProbes(layout, probes);
      break;
    case Variant::MappedOffsetZero:
      remapFirstProbe(layout, probes[0], 0, layout.sizeOfHeaders);
      break;
    case Variant::MappedOffsetBeyondFile:
      remapFirstProbe(layout, probes[0], kBeyondAnyFile, probes[0].rva);
      break;
    case Variant::WrappingDecoySection:
      layout.sections.insert(layout.sections.begin(), SectionSpec{kDecoyAddress, kDecoySize, 0});
      break;
    case Variant::HighHalfOfNewHeaderOffset:
      layout.newHeaderField = 0x00010000 | kPeHeaderOffset;
      break;
    case Variant::LongOptionalHeaderDeclared:
      layout.declaredOptionalHeaderSize = 240;
      break;
    default:
      break;
  }
}

const char* slugOf(Variant variant) {
  for (const VariantName& entry : kVariants) {
    if (entry.variant == variant) return entry.slug;
  }
  throw std::logic_error("unnamed variant");
}

bool sizeRuleAccepts(const RecordFacts& facts, std::uint32_t length) {
  std::int64_t difference = std::int64_t{facts.fileSize} - length;
  switch (facts.sizeRule) {
    case SizeRule::Exact:
      return difference == 0;
    case SizeRule::Near:
      return difference > -std::int64_t{kNearTolerance} && difference < kNearTolerance;
    case SizeRule::Any:
      return true;
  }
  return false;
}

}  // namespace

std::optional<Specimen> build(int recordNumber, Variant variant) {
  const RecordFacts& facts = record(recordNumber);
  if (!applies(facts.sizeRule, variant)) return std::nullopt;
  bool identified = true;
  std::uint32_t length = lengthFor(facts, variant, identified);
  bool probesAtTheirAddresses =
      variant == Variant::NoSections || variant == Variant::MappedOffsetBeyondFile;
  std::uint32_t entry =
      probesAtTheirAddresses ? entryWithProbeAddressesInsideTheFile(facts) : kEntryRva;

  std::vector<Placement> probes = probesOf(recordNumber, entry);
  ImageLayout layout = placeInOwnSections(entry, probes, length);
  applyLayoutVariant(layout, variant, probes, identified);

  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "record%02d-", recordNumber);
  return Specimen{prefix + std::string(slugOf(variant)) + ".exe", renderImage(layout),
                  identified ? recordNumber : 0};
}

std::vector<Specimen> variantsOf(int recordNumber) {
  std::vector<Specimen> specimens;
  for (const VariantName& entry : kVariants) {
    if (std::optional<Specimen> specimen = build(recordNumber, entry.variant)) {
      specimens.push_back(std::move(*specimen));
    }
  }
  return specimens;
}

std::vector<Specimen> nearMisses(int recordNumber) {
  std::vector<Specimen> misses = variantsOf(recordNumber);
  misses.erase(
      std::remove_if(misses.begin(), misses.end(),
                     [](const Specimen& specimen) { return specimen.expectedRecord != 0; }),
      misses.end());
  return misses;
}

Specimen carrying(const std::vector<int>& recordNumbers, std::uint32_t fileLength) {
  std::vector<Placement> placements;
  std::string name = "records";
  int expected = 0;
  std::vector<int> inTableOrder = recordNumbers;
  std::sort(inTableOrder.begin(), inTableOrder.end());
  for (int recordNumber : inTableOrder) {
    for (Placement& probe : probesOf(recordNumber, kEntryRva))
      placements.push_back(std::move(probe));
    name += "-" + std::to_string(recordNumber);
    if (expected == 0 && sizeRuleAccepts(record(recordNumber), fileLength)) expected = recordNumber;
  }
  name += "-length-" + std::to_string(fileLength) + ".exe";
  return {name, renderImage(placeInOwnSections(kEntryRva, placements, fileLength)), expected};
}

std::vector<Specimen> all() {
  std::vector<Specimen> everything;
  for (int recordNumber = 1; recordNumber <= kRecordCount; ++recordNumber) {
    for (Specimen& specimen : variantsOf(recordNumber)) everything.push_back(std::move(specimen));
  }
  everything.push_back(carrying({2, 8}, 12800));
  everything.push_back(carrying({1, 2}, 6176));
  everything.push_back(carrying({1, 2}, 6177));
  for (Specimen& specimen : malformedFiles()) everything.push_back(std::move(specimen));
  return everything;
}

std::string expectedName(const Specimen& specimen) {
  return specimen.expectedRecord == 0 ? "clean" : record(specimen.expectedRecord).virusName;
}

}  // namespace specimens
