// Filling and reading hives through hivex for the tests, independently of the program's own
// look-ups. Key paths are backslash-separated below the hive's root; names are ASCII.
#pragma once

#include <hivex.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/offline/hive_file.h"

namespace offline_test {

// The key at `path`, made with every key along it as needed.
hive_node_h ensureKey(hive_h* hive, const std::string& path);
// 0 when any key along `path` is missing.
hive_node_h findKey(hive_h* hive, const std::string& path);

// Sets (or replaces) a value with exactly these bytes.
void setValue(hive_h* hive, const std::string& path, const std::string& name, std::uint32_t type,
              const std::string& bytes);
// A REG_SZ or REG_EXPAND_SZ value as Windows stores it: UTF-16LE with a terminating zero.
void setString(hive_h* hive, const std::string& path, const std::string& name,
               const std::string& text, std::uint32_t type = 1);
void setDword(hive_h* hive, const std::string& path, const std::string& name, std::uint32_t value);
// Adds a REG_SZ value after the key's others even when one answering to its name (in any
// letter case) is there already, as Windows never writes it and a crafted hive may.
void addStringAgain(hive_h* hive, const std::string& path, const std::string& name,
                    const std::string& text);

bool hasKey(hive_h* hive, const std::string& path);
bool hasValue(hive_h* hive, const std::string& path, const std::string& name);
// How many values of the key answer to `name` in any letter case.
int copiesOf(hive_h* hive, const std::string& path, const std::string& name);
// The stored bytes of a value; empty when it is absent.
std::string valueBytes(hive_h* hive, const std::string& path, const std::string& name);

// Single-byte text as UTF-16LE, and back.
std::string utf16(const std::string& text);

// Writes an empty hive to `hostPath`, lets `fill` fill it, and commits it there.
void writeHive(const std::string& hostPath, const std::function<void(hive_h*)>& fill);
// Opens the hive at `hostPath` for reading, hands it to `look`, and closes it; false when hivex
// cannot open it.
bool readHive(const std::string& hostPath, const std::function<void(hive_h*)>& look);

// Crafting hives against the file format. Keys and values are found by hivex in `hive` (the
// bytes of a hive file); the offsets are hivex's handles: each cell's offset in the file, its
// 32-bit size first. Cell offsets stored in the hive count from the first hive bin (0x1000).
hive_node_h keyOffset(const std::string& hive, const std::string& path);
hive_value_h valueOffset(const std::string& hive, const std::string& path, const std::string& name);
std::uint32_t field32(const std::string& hive, std::size_t at);
void setField32(std::string& hive, std::size_t at, std::uint32_t value);
void setField16(std::string& hive, std::size_t at, std::uint16_t value);
// A cell offset as the hive stores it, for a handle.
inline std::uint32_t stored(std::size_t handle) {
  return static_cast<std::uint32_t>(handle - 0x1000);
}
// Fields of a key node (nk), a value (vk) and a security record (sk), from the cell's start.
constexpr std::size_t kKeyParent = 20, kKeySubkeyCount = 24, kKeySubkeyList = 32,
                      kKeyValueCount = 40, kKeyValueList = 44, kKeySecurity = 48,
                      kKeyClassName = 52, kKeyNameLength = 76, kKeyName = 80;
constexpr std::size_t kValueNameLength = 6, kValueDataLength = 8, kValueData = 12;
constexpr std::size_t kSecurityNext = 8, kSecurityPrevious = 12, kSecurityUsers = 16;
// The first entry of a subkey list (lf, lh: offset and hash; li: offset).
constexpr std::size_t kListFirstEntry = 8;

// Hands the hive as `open` holds it now, its changes included, to `look` (read-only); false
// when hivex cannot open it.
bool lookAtOpenHive(platform::offline::HiveFile& open, const std::function<void(hive_h*)>& look);
// Edits the hive file of `open` (below `root`, a host folder) and has `open` read it again,
// forgetting the changes made through it.
void editOpenHive(const std::string& root, platform::offline::HiveFile& open,
                  const std::function<void(hive_h*)>& edit);

}  // namespace offline_test
