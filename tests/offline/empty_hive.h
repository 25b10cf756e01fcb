// An empty registry hive written from the published description of the hive file format: the
// base block, one hive bin holding the root key and its security record, and free space. hivex
// opens only existing hives, so every hive a test needs starts as this file.
#pragma once

#include <cstdint>
#include <string>

namespace offline_test {

// The bytes of an empty hive whose root key is named `rootName` (ASCII).
std::string emptyHive(const std::string& rootName = "ROOT");

// The XOR-32 checksum of the base block's first 508 bytes, as stored at offset 508.
std::uint32_t baseBlockChecksum(const std::string& hive);

// Rewrites the stored checksum after a test has edited the base block.
void resealBaseBlock(std::string& hive);

}  // namespace offline_test
