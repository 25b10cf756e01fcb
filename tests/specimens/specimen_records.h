// What the specimens know of the ten known builds, written down on their own (patterns as hex
// text) rather than taken from the program's table, so that a slip in either shows as a test
// failure instead of being copied into the files that test it.
#pragma once

#include <cstdint>
#include <string>

namespace specimens {

enum class SizeRule { Exact, Near, Any };

struct RecordFacts {
  const char* virusName;
  SizeRule sizeRule;
  std::uint32_t fileSize;
  std::int32_t firstOffset;   // from the entry point to the first probe
  std::int32_t secondOffset;  // from the entry point to the second probe
  const char* firstPattern;   // 20 bytes as hex pairs
  const char* secondPattern;
};

constexpr int kRecordCount = 10;
constexpr std::uint32_t kNearTolerance = 4096;
constexpr std::size_t kPatternLength = 20;

// The most that identifying one file may read: the 16-bit new-header offset, the PE signature,
// the file header, the optional header's head and up to 20 section headers, then two probes of
// 20 bytes for each record tried.
constexpr std::uint64_t mostBytesIdentificationMayRead(int recordsTried) {
  return 2 + 4 + 20 + 96 + 20 * 40 + std::uint64_t{2} * kPatternLength * recordsTried;
}

// Records are numbered from 1, in the order the program tries them.
const RecordFacts& record(int recordNumber);
// A pattern's 20 bytes.
std::string patternBytes(const char* hex);

}  // namespace specimens
