// Synthetic worm specimens: harmless files whose PE headers are just valid enough and which
// carry a record's two 20-byte patterns where its probes look, and near misses that must not be
// identified. Used by the unit tests, the fuzz seeds, the Windows-side tests, the demo and the
// specimen writer tool.
//
//   specimens::build(8, specimens::Variant::BelowNearSize)   one file of one record
//   specimens::variantsOf(8)                                  every variant that applies to it
//   specimens::carrying({2, 8}, 12800)                        several records' patterns at once
//   specimens::all()                                          everything, with what to expect
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "specimens/specimen_records.h"

namespace specimens {

enum class Variant {
  Plain,                       // the patterns at the probes, the length the size rule wants
  SizeOneByteOver,             // exact-size records: one byte too long (not identified)
  SizeOneByteUnder,            // exact-size records: one byte too short (not identified)
  SmallestNearSize,            // near-size records: 4095 bytes short (identified)
  LargestNearSize,             // near-size records: 4095 bytes over (identified)
  BelowNearSize,               // near-size records: 4096 bytes short (not identified)
  AboveNearSize,               // near-size records: 4096 bytes over (not identified)
  ShortFile,                   // any-size records: a file of under 2 KiB (identified)
  LongFile,                    // any-size records: a file of 1 MiB (identified)
  FirstPatternByteChanged,     // the first pattern's first byte differs (not identified)
  SecondPatternByteChanged,    // the second pattern's last byte differs (not identified)
  TwentySections,              // the most sections a file may declare (identified)
  TwentyOneSections,           // one section too many (not identified)
  NoSections,                  // no section table: addresses are file offsets (identified)
  EntryBeyondEverySection,     // the probes lie beyond every section (identified)
  MappedOffsetZero,            // the first probe maps to offset 0, read at SizeOfHeaders
  MappedOffsetBeyondFile,      // the first probe maps past the end, read at its address
  WrappingDecoySection,        // a first section whose end passes 4 GiB and wraps to a low
                               // address, so that it takes none of the probes (identified)
  HighHalfOfNewHeaderOffset,   // the new-header field is 0x10080; the header lies at 0x80
  LongOptionalHeaderDeclared,  // the header says 240 bytes of optional header; the section
                               // table still follows 224 bytes of it (identified)
};

struct Specimen {
  std::string name;  // a file name, e.g. "record08-below-near-size.exe"
  std::string bytes;
  int expectedRecord = 0;  // the record that must identify the file; 0 when none may
};

// One record's specimen, or nothing when the variant does not apply to the record's size rule.
std::optional<Specimen> build(int recordNumber, Variant variant);
// Every variant that applies to the record, Plain first.
std::vector<Specimen> variantsOf(int recordNumber);
// The record's variants that must not be identified.
std::vector<Specimen> nearMisses(int recordNumber);
// The patterns of several records around one entry point, in a file of `fileLength` bytes. The
// expected record is the first of them, in table order, whose size rule the length passes.
Specimen carrying(const std::vector<int>& recordNumbers, std::uint32_t fileLength);
// Files that are not PE images or whose headers cannot be read: 0, 61 and 62 bytes, a text file,
// a new-header offset past the end, no PE signature, headers cut short.
std::vector<Specimen> malformedFiles();
// Every record's variants, the table-order files and the malformed files.
std::vector<Specimen> all();

// What a reader of the specimen should report: the record's name, or "clean".
std::string expectedName(const Specimen& specimen);

}  // namespace specimens
