#include "platform/offline/hive_cells.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "common/little_endian.h"

namespace platform::offline {
namespace {

constexpr std::uint64_t kBinsStart = 0x1000;
constexpr std::uint64_t kBinHeaderSize = 0x20;
constexpr std::uint32_t kNoCell = 0xFFFFFFFF;
constexpr std::uint32_t kInlineData = 0x80000000;
// A data cell holds at most this much of a big value's data (the rest of a segment is slack).
constexpr std::uint32_t kBigDataSegment = 16344;

// Key node fields, from the cell's start (its size field).
constexpr std::uint64_t kNkParent = 20, kNkSubkeyCount = 24, kNkSubkeyList = 32, kNkValueCount = 40,
                        kNkValueList = 44, kNkSecurity = 48, kNkClassName = 52, kNkNameLength = 76,
                        kNkName = 80;
// Value fields.
constexpr std::uint64_t kVkNameLength = 6, kVkDataLength = 8, kVkData = 12, kVkName = 24;
// Security record fields.
constexpr std::uint64_t kSkNext = 8, kSkPrevious = 12, kSkUsers = 16, kSkMinimum = 24;
// Subkey lists: a count, then entries of 8 (lf, lh) or 4 (li, ri) bytes.
constexpr std::uint64_t kListCount = 6, kListEntries = 8;

std::uint64_t absolute(std::uint32_t relative) { return kBinsStart + relative; }

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace

HiveImage::HiveImage(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {
  if (size < kBinsStart) return;
  std::uint64_t declared = kBinsStart + bytes::littleEndian32(bytes + 40);
  std::uint64_t end = std::min<std::uint64_t>(size, declared);
  for (std::uint64_t bin = kBinsStart; bin + kBinHeaderSize <= end;) {
    if (std::memcmp(bytes + bin, "hbin", 4) != 0) break;
    std::uint32_t binSize = bytes::littleEndian32(bytes + bin + 8);
    if (binSize < 0x1000 || binSize % 0x1000 != 0 || bin + binSize > end) break;
    for (std::uint64_t at = bin + kBinHeaderSize; at + 4 <= bin + binSize;) {
      auto stored = static_cast<std::int32_t>(bytes::littleEndian32(bytes + at));
      std::uint32_t length =
          stored < 0 ? 0u - static_cast<std::uint32_t>(stored) : static_cast<std::uint32_t>(stored);
      if (length < 8 || length % 8 != 0 || at + length > bin + binSize) break;
      if (stored < 0) cells_.emplace_back(at, length);
      at += length;
    }
    bin += binSize;
  }
}

bool HiveImage::cell(std::uint64_t at, std::uint32_t& size) const {
  auto found = std::lower_bound(cells_.begin(), cells_.end(), at,
                                [](const std::pair<std::uint64_t, std::uint32_t>& cell,
                                   std::uint64_t offset) { return cell.first < offset; });
  if (found == cells_.end() || found->first != at) return false;
  size = found->second;
  return true;
}

bool HiveImage::record(std::uint64_t at, const char* id, std::uint32_t minimum) const {
  std::uint32_t size = 0;
  return cell(at, size) && size >= minimum && size >= 6 && idAt(at, id);
}

std::uint16_t HiveImage::u16(std::uint64_t at) const {
  return at + 2 <= size_ ? bytes::littleEndian16(bytes_ + at) : 0;
}

std::uint32_t HiveImage::u32(std::uint64_t at) const {
  return at + 4 <= size_ ? bytes::littleEndian32(bytes_ + at) : 0;
}

bool HiveImage::idAt(std::uint64_t at, const char* id) const {
  return at + 6 <= size_ && bytes_[at + 4] == id[0] && bytes_[at + 5] == id[1];
}

bool checkValueData(const HiveImage& image, std::uint64_t value, std::string& why) {
  std::uint32_t size = 0;
  if (!image.record(value, "vk", kVkName) || !image.cell(value, size)) {
    why = "the value at " + hex(value) + " is not a value record";
    return false;
  }
  if (kVkName + image.u16(value + kVkNameLength) > size) {
    why = "the name of the value at " + hex(value) + " runs past its cell";
    return false;
  }
  std::uint32_t length = image.u32(value + kVkDataLength);
  if ((length & kInlineData) != 0) {
    if ((length & ~kInlineData) > 4) {
      why = "the value at " + hex(value) + " claims more inline data than it holds";
      return false;
    }
    return true;
  }
  std::uint64_t data = absolute(image.u32(value + kVkData));
  std::uint32_t dataSize = 0;
  if (!image.cell(data, dataSize)) {
    why = "the data of the value at " + hex(value) + " is not a cell of the hive";
    return false;
  }
  if (dataSize - 4 >= length) return true;
  // Big data: a "db" record listing segments, each holding up to kBigDataSegment bytes.
  if (!image.record(data, "db", 12)) {
    why = "the value at " + hex(value) + " claims more data than its cell holds";
    return false;
  }
  std::uint32_t segments = image.u16(data + kListCount);
  std::uint64_t list = absolute(image.u32(data + kListEntries));
  std::uint32_t listSize = 0;
  if (!image.cell(list, listSize) || listSize - 4 < 4ull * segments) {
    why = "the segment list of the value at " + hex(value) + " is not a cell that holds it";
    return false;
  }
  std::uint64_t held = 0;
  for (std::uint32_t i = 0; i < segments; ++i) {
    std::uint32_t segmentSize = 0;
    if (!image.cell(absolute(image.u32(list + 4 + 4ull * i)), segmentSize)) {
      why = "a data segment of the value at " + hex(value) + " is not a cell of the hive";
      return false;
    }
    held += std::min(segmentSize - 4, kBigDataSegment);
  }
  if (held < length) {
    why = "the value at " + hex(value) + " claims more data than its segments hold";
    return false;
  }
  return true;
}

namespace {

// Hands `claim` each cell that hivex frees with the values of the key at `node`: the value list,
// each value record and each data cell outside its record. False when `claim` refuses one, or
// with `why` set when one is not a cell of the kind it should be.
template <typename Claim>
bool claimValueCells(const HiveImage& image, std::uint64_t node, Claim claim, std::string& why) {
  std::uint32_t values = image.u32(node + kNkValueCount);
  if (values == 0) return true;
  std::uint64_t list = absolute(image.u32(node + kNkValueList));
  std::uint32_t listSize = 0;
  if (!image.cell(list, listSize) || listSize - 4 < 4ull * values) {
    why = "the value list of the key at " + hex(node) + " is not a cell that holds it";
    return false;
  }
  if (!claim(list, "value list")) return false;
  for (std::uint32_t i = 0; i < values; ++i) {
    std::uint64_t value = absolute(image.u32(list + 4 + 4ull * i));
    if (!image.record(value, "vk", kVkName)) {
      why = "an entry of the value list at " + hex(list) + " is not a value record";
      return false;
    }
    if (!claim(value, "value")) return false;
    std::uint32_t length = image.u32(value + kVkDataLength);
    if ((length & kInlineData) == 0) {
      std::uint64_t data = absolute(image.u32(value + kVkData));
      std::uint32_t dataSize = 0;
      if (!image.cell(data, dataSize)) {
        why = "the data of the value at " + hex(value) + " is not a cell of the hive";
        return false;
      }
      if (!claim(data, "data cell")) return false;
    }
  }
  return true;
}

// The walk of one subtree before its deletion.
class DeletionCheck {
 public:
  DeletionCheck(const HiveImage& image, std::string& why) : image_(image), why_(why) {}

  bool run(std::uint64_t node) {
    if (!linkedFromParent(node)) return false;
    struct Pending {
      std::uint64_t node;
      std::size_t depth;
    };
    std::vector<Pending> pending = {{node, 0}};
    while (!pending.empty()) {
      Pending next = pending.back();
      pending.pop_back();
      if (next.depth > kDeletableDepth) {
        return fail("its keys are nested deeper than " + std::to_string(kDeletableDepth) +
                    " levels");
      }
      std::vector<std::uint64_t> children;
      if (!checkKey(next.node, children)) return false;
      for (std::uint64_t child : children) pending.push_back({child, next.depth + 1});
    }
    return checkSecurityRecords();
  }

 private:
  bool fail(const std::string& why) {
    why_ = why;
    return false;
  }

  // Each cell the deletion frees is freed once.
  bool claim(std::uint64_t at, const char* what) {
    if (!claimed_.insert(at).second) {
      return fail(std::string("the ") + what + " at " + hex(at) + " is met twice");
    }
    return true;
  }

  // The entries of the subkey list at `list` (lf, lh, li, or an ri of those); `unlinkable` is
  // set when `wanted` is among them in an lf or lh record (the only kind hivex unlinks from).
  bool listEntries(std::uint64_t list, std::vector<std::uint64_t>& entries, bool claimLists,
                   std::uint64_t wanted, bool& unlinkable) {
    std::uint32_t size = 0;
    if (!image_.cell(list, size) || size < kListEntries) {
      return fail("the subkey list at " + hex(list) + " is not a cell of the hive");
    }
    std::vector<std::uint64_t> lists;
    if (image_.idAt(list, "ri")) {
      if (claimLists && !claim(list, "subkey list")) return false;
      std::uint32_t count = image_.u16(list + kListCount);
      if (kListEntries + 4ull * count > size) return fail("a subkey index runs past its cell");
      for (std::uint32_t i = 0; i < count; ++i) {
        lists.push_back(absolute(image_.u32(list + kListEntries + 4ull * i)));
      }
    } else {
      lists.push_back(list);
    }
    for (std::uint64_t part : lists) {
      if (!image_.cell(part, size) || size < kListEntries) {
        return fail("the subkey list at " + hex(part) + " is not a cell of the hive");
      }
      bool wide = image_.idAt(part, "lf") || image_.idAt(part, "lh");
      if (!wide && !image_.idAt(part, "li")) {
        return fail("the subkey list at " + hex(part) + " is not a subkey list");
      }
      if (claimLists && !claim(part, "subkey list")) return false;
      std::uint32_t count = image_.u16(part + kListCount);
      std::uint64_t stride = wide ? 8 : 4;
      if (kListEntries + stride * count > size) return fail("a subkey list runs past its cell");
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t entry = absolute(image_.u32(part + kListEntries + stride * i));
        if (wide && entry == wanted) unlinkable = true;
        entries.push_back(entry);
      }
    }
    return true;
  }

  // The key's parent is a key that lists it once, where hivex can unlink it.
  bool linkedFromParent(std::uint64_t node) {
    if (!image_.record(node, "nk", kNkName)) return fail("the key is not a key record");
    std::uint64_t parent = absolute(image_.u32(node + kNkParent));
    if (!image_.record(parent, "nk", kNkName)) return fail("its parent is not a key record");
    if (image_.u32(parent + kNkSubkeyCount) == 0) return fail("its parent lists no subkeys");
    std::vector<std::uint64_t> siblings;
    bool unlinkable = false;
    if (!listEntries(absolute(image_.u32(parent + kNkSubkeyList)), siblings, false, node,
                     unlinkable)) {
      return false;
    }
    if (std::count(siblings.begin(), siblings.end(), node) != 1) {
      return fail("its parent does not list it exactly once");
    }
    if (!unlinkable) return fail("its parent lists it in a kind of list hivex cannot unlink");
    return true;
  }

  bool checkKey(std::uint64_t node, std::vector<std::uint64_t>& children) {
    std::uint32_t size = 0;
    if (!image_.record(node, "nk", kNkName) || !image_.cell(node, size)) {
      return fail("the key at " + hex(node) + " is not a key record");
    }
    if (!claim(node, "key")) return false;
    if (kNkName + image_.u16(node + kNkNameLength) > size) {
      return fail("the name of the key at " + hex(node) + " runs past its cell");
    }

    std::uint32_t subkeys = image_.u32(node + kNkSubkeyCount);
    if (subkeys > 0) {
      bool unused = false;
      if (!listEntries(absolute(image_.u32(node + kNkSubkeyList)), children, true, 0, unused)) {
        return false;
      }
      if (children.size() != subkeys) {
        return fail("the key at " + hex(node) + " lists another number of subkeys than it says");
      }
      for (std::uint64_t child : children) {
        if (!image_.record(child, "nk", kNkName)) {
          return fail("a subkey of the key at " + hex(node) + " is not a key record");
        }
        if (absolute(image_.u32(child + kNkParent)) != node) {
          return fail("the key at " + hex(child) + " is listed under the key at " + hex(node) +
                      " but names another parent");
        }
      }
    }

    auto claimCell = [this](std::uint64_t at, const char* what) { return claim(at, what); };
    if (!claimValueCells(image_, node, claimCell, why_)) return false;

    std::uint32_t security = image_.u32(node + kNkSecurity);
    if (security != kNoCell) {
      std::uint64_t at = absolute(security);
      if (!image_.record(at, "sk", kSkMinimum)) {
        return fail("the security record of the key at " + hex(node) + " is not one");
      }
      ++securityUsers_[at];
    }

    std::uint32_t className = image_.u32(node + kNkClassName);
    if (className != kNoCell) {
      std::uint64_t at = absolute(className);
      std::uint32_t classSize = 0;
      if (!image_.cell(at, classSize)) {
        return fail("the class name of the key at " + hex(node) + " is not a cell of the hive");
      }
      if (!claim(at, "class name")) return false;
    }
    return true;
  }

  // Every security record used in the subtree: not freed as something else, used at least as
  // often as it says, and between neighbours that are security records linking back to it.
  bool checkSecurityRecords() {
    for (const auto& [record, users] : securityUsers_) {
      if (claimed_.count(record) != 0) {
        return fail("the security record at " + hex(record) + " is also used as another cell");
      }
      if (image_.u32(record + kSkUsers) < users) {
        return fail("the security record at " + hex(record) + " counts fewer users than it has");
      }
      std::uint64_t previous = absolute(image_.u32(record + kSkPrevious));
      std::uint64_t next = absolute(image_.u32(record + kSkNext));
      if (!image_.record(previous, "sk", kSkMinimum) || !image_.record(next, "sk", kSkMinimum)) {
        return fail("the security record at " + hex(record) +
                    " links to a neighbour that is not a security record");
      }
      if (absolute(image_.u32(previous + kSkNext)) != record ||
          absolute(image_.u32(next + kSkPrevious)) != record) {
        return fail("the security record at " + hex(record) +
                    " is not linked back by its neighbours");
      }
      if (claimed_.count(previous) != 0 || claimed_.count(next) != 0) {
        return fail("a neighbour of the security record at " + hex(record) +
                    " is freed as another cell");
      }
    }
    return true;
  }

  const HiveImage& image_;
  std::string& why_;
  std::unordered_set<std::uint64_t> claimed_;
  std::unordered_map<std::uint64_t, std::uint32_t> securityUsers_;
};

}  // namespace

bool checkDeletable(const HiveImage& image, std::uint64_t node, std::string& why) {
  return DeletionCheck(image, why).run(node);
}

bool checkValuesFreeable(const HiveImage& image, std::uint64_t key, std::string& why) {
  if (!image.record(key, "nk", kNkName)) {
    why = "the key at " + hex(key) + " is not a key record";
    return false;
  }
  std::unordered_set<std::uint64_t> claimed;
  auto claimOnce = [&](std::uint64_t at, const char* what) {
    if (claimed.insert(at).second) return true;
    why = std::string("the ") + what + " at " + hex(at) + " is met twice";
    return false;
  };
  return claimValueCells(image, key, claimOnce, why);
}

}  // namespace platform::offline
