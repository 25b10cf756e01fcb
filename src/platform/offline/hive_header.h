// The checks made on a hive file's base block before the hive is read, and again on every file
// written before it replaces a hive: what hivex accepts is not always what Windows will load.
#pragma once

#include <cstdint>

namespace platform::offline {

enum class HiveFault {
  kNone,
  kUnreadable,   // the base block could not be read
  kNotAHive,     // no "regf" signature (a 95/98/Me registry, or not a registry at all)
  kNotPrimary,   // a transaction log or another kind of hive file, not a hive itself
  kBadChecksum,  // the base block's checksum is wrong: Windows would recover it from its log
  kDirty,        // changes not yet written to the hive wait in its log: Windows replays them
  kCutShort,     // the file is shorter than the hive bins its base block declares
  kTooLarge,     // its base block declares more than the format's 2 GiB
};

const char* describe(HiveFault fault);

// Reads the base block of the open file `fd` and checks it against the file's length.
// `declaredLength`, when given, receives the length the base block declares (itself and the hive
// bins): what of the file is the hive.
HiveFault checkHiveFile(int fd, std::uint64_t* declaredLength = nullptr);

// The same checks on a base block already read (`baseBlock` holds its 4096 bytes).
HiveFault checkBaseBlock(const std::uint8_t* baseBlock, std::uint64_t fileLength);

constexpr std::uint64_t kHiveBaseBlockSize = 4096;
// The most a hive may be, its base block included.
constexpr std::uint64_t kLargestHive = 2ull * 1024 * 1024 * 1024;

}  // namespace platform::offline
