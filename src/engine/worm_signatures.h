// The constant table of the known builds of the W32/Blaster.Worm family: for each, the name it
// is reported as, two 20-byte patterns expected at fixed distances from the entry point, and a
// rule for the file's length.
#pragma once

#include <cstdint>

// How a record tests the file's length.
constexpr std::int32_t SizeExact = 1;  // exactly fileSize
constexpr std::int32_t SizeNear = 2;   // within sizeTolerance - 1 bytes of fileSize
constexpr std::int32_t SizeAny = 3;    // any length

// The SizeNear bound: a length passes when it differs from fileSize by less than this.
constexpr std::int32_t sizeTolerance = 4096;
// The number of bytes read and compared at each probe.
constexpr int probeLength = 20;

struct WormSignature {
  char virusName[50];
  // Only the first probeLength bytes are compared; the last byte is always 0.
  std::uint8_t firstPattern[probeLength + 1];
  std::uint8_t secondPattern[probeLength + 1];
  // Added to the entry point's address to give the address of each probe.
  std::int32_t firstOffset;
  std::int32_t secondOffset;
  std::int32_t sizeRule;
  std::int32_t fileSize;
};

// Tried in order. The table ends at the first record whose first pattern begins with 0, so no
// real record may begin that way.
extern const WormSignature wormSignatureTable[];

inline bool isEndOfSignatureTable(const WormSignature& record) {
  return record.firstPattern[0] == 0;
}

// The record's position in the table, counting from 1.
int signatureNumber(const WormSignature& record);
