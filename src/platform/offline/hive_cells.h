// The cells of a hive image read as the file format lays them out, without hivex: what the
// hive-editing child checks before it lets hivex delete a key or read a value's data, since
// hivex trusts the links it follows there (a security record's neighbours, a class name, a value
// list, a data cell) and recurses as deep as the keys go.
//
// Offsets are hivex's node and value handles: from the start of the file, the base block
// included, and each pointing at its cell's size field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::offline {

class HiveImage {
 public:
  // `bytes` is the whole hive file (base block first); it must outlive the image.
  HiveImage(const std::uint8_t* bytes, std::size_t size);

  // The allocated cell at `at`: its whole size (the 4-byte size field included). False when no
  // allocated cell starts there.
  bool cell(std::uint64_t at, std::uint32_t& size) const;
  // The same for a cell whose record starts with `id` ("nk", "sk", ...) and holds at least
  // `minimum` bytes.
  bool record(std::uint64_t at, const char* id, std::uint32_t minimum) const;

  std::uint16_t u16(std::uint64_t at) const;
  std::uint32_t u32(std::uint64_t at) const;
  bool idAt(std::uint64_t at, const char* id) const;

  std::size_t cellCount() const { return cells_.size(); }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> cells_;  // allocated cells, in order
};

// Keys deeper than this below the key to delete are refused: hivex deletes recursively.
constexpr std::size_t kDeletableDepth = 512;

// Whether hivex_node_delete_child(`node`) is safe on this image: the subtree at `node` is at
// most kDeletableDepth deep, meets no key twice, each key's parent link names the key it is
// listed under (and `node` is listed by its parent in a list hivex unlinks from), every list,
// value, data, class-name and security cell it frees is an allocated cell of the right kind and
// freed only once, and every security record it may unlink has valid neighbours that link back
// to it. Walked iteratively. False with `why` saying what is wrong.
bool checkDeletable(const HiveImage& image, std::uint64_t node, std::string& why);

// Whether the data of the value `value` lie in cells of the hive, as long as the value says
// (hivex reads as far as the value says).
bool checkValueData(const HiveImage& image, std::uint64_t value, std::string& why);

// Whether hivex may free the values of the key `key`, as it does whenever it sets a key's values
// anew: the value list, each value record and each data cell outside its record are cells of
// the hive, and none of them is met twice (hivex would free it twice, and abort).
bool checkValuesFreeable(const HiveImage& image, std::uint64_t key, std::string& why);

}  // namespace platform::offline
