#include "offline/empty_hive.h"

namespace offline_test {
namespace {

constexpr std::size_t kBaseBlockSize = 4096;
constexpr std::size_t kHiveBinSize = 4096;
constexpr std::size_t kHiveBinHeaderSize = 32;
constexpr std::size_t kChecksumOffset = 508;
constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

// Key node flags: the hive's root, which may not be deleted, with an ASCII name.
constexpr std::uint16_t kRootKeyFlags = 0x0004 | 0x0008 | 0x0020;
// Self-relative security descriptor, with a DACL present but absent (everyone may do anything):
// enough for a test hive.
constexpr std::uint16_t kSelfRelativeWithNullDacl = 0x8000 | 0x0004;
constexpr std::size_t kSecurityDescriptorSize = 20;

void put16(std::string& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t get32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

void putText(std::string& bytes, std::size_t at, const std::string& text) {
  bytes.replace(at, text.size(), text);
}

// Cells are 8-byte aligned and their size includes the 4-byte size field; an allocated cell
// stores its size negated.
std::size_t cellSize(std::size_t dataSize) { return (4 + dataSize + 7) / 8 * 8; }

void putAllocatedCellSize(std::string& bytes, std::size_t at, std::size_t size) {
  put32(bytes, at, static_cast<std::uint32_t>(-static_cast<std::int32_t>(size)));
}

// 2009-01-01 00:00 UTC as a FILETIME: any fixed time serves, and a fixed one keeps the
// images identical from run to run.
constexpr std::uint64_t kTimestamp = 128752416000000000ULL;

void putTimestamp(std::string& bytes, std::size_t at) {
  put32(bytes, at, static_cast<std::uint32_t>(kTimestamp));
  put32(bytes, at + 4, static_cast<std::uint32_t>(kTimestamp >> 32));
}

}  // namespace

std::uint32_t baseBlockChecksum(const std::string& hive) {
  std::uint32_t checksum = 0;
  for (std::size_t at = 0; at < kChecksumOffset; at += 4) checksum ^= get32(hive, at);
  return checksum;
}

void resealBaseBlock(std::string& hive) { put32(hive, kChecksumOffset, baseBlockChecksum(hive)); }

std::string emptyHive(const std::string& rootName) {
  std::string hive(kBaseBlockSize + kHiveBinSize, '\0');

  // Offsets inside the hive bins data, which starts after the base block.
  const std::size_t rootAt = kHiveBinHeaderSize;
  const std::size_t rootSize = cellSize(76 + rootName.size());
  const std::size_t securityAt = rootAt + rootSize;
  const std::size_t securitySize = cellSize(20 + kSecurityDescriptorSize);
  const std::size_t freeAt = securityAt + securitySize;

  // Base block.
  putText(hive, 0, "regf");
  put32(hive, 4, 1);  // primary and secondary sequence numbers agree: a clean hive
  put32(hive, 8, 1);
  putTimestamp(hive, 12);
  put32(hive, 20, 1);  // writer version 1.3
  put32(hive, 24, 3);
  put32(hive, 28, 0);  // primary file
  put32(hive, 32, 1);  // direct memory load
  put32(hive, 36, static_cast<std::uint32_t>(rootAt));
  put32(hive, 40, static_cast<std::uint32_t>(kHiveBinSize));
  put32(hive, 44, 1);  // clustering factor
  resealBaseBlock(hive);

  // The one hive bin.
  const std::size_t bin = kBaseBlockSize;
  putText(hive, bin, "hbin");
  put32(hive, bin + 4, 0);
  put32(hive, bin + 8, static_cast<std::uint32_t>(kHiveBinSize));
  putTimestamp(hive, bin + 20);

  // The root key node.
  std::size_t cell = bin + rootAt;
  putAllocatedCellSize(hive, cell, rootSize);
  std::size_t key = cell + 4;
  putText(hive, key, "nk");
  put16(hive, key + 2, kRootKeyFlags);
  putTimestamp(hive, key + 4);
  put32(hive, key + 16, kNoOffset);  // the root has no parent
  put32(hive, key + 20, 0);          // subkeys
  put32(hive, key + 24, 0);          // volatile subkeys
  put32(hive, key + 28, kNoOffset);
  put32(hive, key + 32, kNoOffset);
  put32(hive, key + 36, 0);  // values
  put32(hive, key + 40, kNoOffset);
  put32(hive, key + 44, static_cast<std::uint32_t>(securityAt));
  put32(hive, key + 48, kNoOffset);  // no class name
  put16(hive, key + 72, static_cast<std::uint16_t>(rootName.size()));
  putText(hive, key + 76, rootName);

  // Its security record, the only one: a list of one, linked to itself.
  cell = bin + securityAt;
  putAllocatedCellSize(hive, cell, securitySize);
  std::size_t security = cell + 4;
  putText(hive, security, "sk");
  put32(hive, security + 4, static_cast<std::uint32_t>(securityAt));
  put32(hive, security + 8, static_cast<std::uint32_t>(securityAt));
  put32(hive, security + 12, 1);  // used by the root alone
  put32(hive, security + 16, static_cast<std::uint32_t>(kSecurityDescriptorSize));
  std::size_t descriptor = security + 20;
  hive[descriptor] = 1;  // revision
  put16(hive, descriptor + 2, kSelfRelativeWithNullDacl);

  // The rest of the bin is one free cell (a positive size).
  put32(hive, bin + freeAt, static_cast<std::uint32_t>(kHiveBinSize - freeAt));
  return hive;
}

}  // namespace offline_test
