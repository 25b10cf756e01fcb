#include "platform/offline/hive_header.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/little_endian.h"

namespace platform::offline {
namespace {

constexpr std::size_t kPrimarySequenceAt = 4;
constexpr std::size_t kSecondarySequenceAt = 8;
constexpr std::size_t kFileTypeAt = 28;
constexpr std::size_t kHiveBinsSizeAt = 40;
constexpr std::size_t kChecksumAt = 508;
constexpr std::uint32_t kPrimaryFile = 0;
constexpr std::uint64_t kHiveBinAlignment = 4096;

using bytes::littleEndian32;

}  // namespace

const char* describe(HiveFault fault) {
  switch (fault) {
    case HiveFault::kNone:
      return "a sound hive";
    case HiveFault::kUnreadable:
      return "its header cannot be read";
    case HiveFault::kNotAHive:
      return "not a registry hive file";
    case HiveFault::kNotPrimary:
      return "not a primary hive file";
    case HiveFault::kBadChecksum:
      return "its header checksum is wrong (Windows would restore it from the hive's log)";
    case HiveFault::kDirty:
      return "changes to it wait in its transaction log (start Windows once, or repair it, first)";
    case HiveFault::kCutShort:
      return "the file is shorter than its header says (cut short)";
    case HiveFault::kTooLarge:
      return "its header declares more than a hive may hold (2 GiB)";
  }
  return "unknown fault";
}

HiveFault checkBaseBlock(const std::uint8_t* baseBlock, std::uint64_t fileLength) {
  if (std::memcmp(baseBlock, "regf", 4) != 0) return HiveFault::kNotAHive;
  std::uint32_t checksum = 0;
  for (std::size_t at = 0; at < kChecksumAt; at += 4) checksum ^= littleEndian32(baseBlock + at);
  if (checksum != littleEndian32(baseBlock + kChecksumAt)) return HiveFault::kBadChecksum;
  if (littleEndian32(baseBlock + kFileTypeAt) != kPrimaryFile) return HiveFault::kNotPrimary;
  // The two numbers differ while a write is under way, and afterwards until the log is applied.
  if (littleEndian32(baseBlock + kPrimarySequenceAt) !=
      littleEndian32(baseBlock + kSecondarySequenceAt)) {
    return HiveFault::kDirty;
  }
  // hivex reads what the file holds, so a hive cut at a bin boundary would look whole to it.
  std::uint64_t binsSize = littleEndian32(baseBlock + kHiveBinsSizeAt);
  if (kHiveBaseBlockSize + binsSize > kLargestHive) return HiveFault::kTooLarge;
  if (binsSize == 0 || binsSize % kHiveBinAlignment != 0 ||
      fileLength < kHiveBaseBlockSize + binsSize) {
    return HiveFault::kCutShort;
  }
  return HiveFault::kNone;
}

HiveFault checkHiveFile(int fd, std::uint64_t* declaredLength) {
  struct stat status;
  if (fstat(fd, &status) != 0 || status.st_size < 0) return HiveFault::kUnreadable;
  auto length = static_cast<std::uint64_t>(status.st_size);
  if (length < kHiveBaseBlockSize) {
    std::uint8_t signature[4] = {};
    bool named = pread(fd, signature, sizeof signature, 0) == sizeof signature &&
                 std::memcmp(signature, "regf", 4) == 0;
    return named ? HiveFault::kCutShort : HiveFault::kNotAHive;
  }
  std::uint8_t baseBlock[kHiveBaseBlockSize];
  std::size_t got = 0;
  while (got < sizeof baseBlock) {
    ssize_t read = pread(fd, baseBlock + got, sizeof baseBlock - got, static_cast<off_t>(got));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return HiveFault::kUnreadable;
    got += static_cast<std::size_t>(read);
  }
  if (declaredLength != nullptr) {
    *declaredLength = kHiveBaseBlockSize + littleEndian32(baseBlock + kHiveBinsSizeAt);
  }
  return checkBaseBlock(baseBlock, length);
}

}  // namespace platform::offline
