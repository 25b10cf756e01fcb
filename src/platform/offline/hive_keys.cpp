#include "platform/offline/hive_keys.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/bounded_text.h"
#include "platform/offline/hivex_memory.h"

namespace platform::offline {
namespace {

// Data longer than this are kept by Windows in big-data records (on hives of format 1.4 and
// later), which hivex does not write: such a value is not carried over by a rewrite.
constexpr std::size_t kLargestRewritableData = 16344;

constexpr std::uint32_t kRegExpandSz = 2;

bool isStringType(std::uint32_t type) { return type == 1 || type == kRegExpandSz || type == 7; }

// A name that hivex handed out, or false when it holds a NUL inside it (then it can be neither
// matched nor written back).
bool wholeName(char* name, std::size_t length) {
  return name != nullptr && std::strlen(name) == length;
}

bool nodeNameIs(hive_h* hive, hive_node_h node, const std::string& name) {
  errno = 0;
  std::size_t length = hivex_node_name_len(hive, node);
  if (length != name.size()) return false;
  Allocated<char> held(hivex_node_name(hive, node));
  return wholeName(held.get(), length) && text::equalsIgnoringCase(held.get(), name.c_str());
}

bool valueNameIs(hive_h* hive, hive_value_h value, const std::string& name) {
  errno = 0;
  std::size_t length = hivex_value_key_len(hive, value);
  if (length != name.size() || (length == 0 && errno != 0)) return false;
  Allocated<char> held(hivex_value_key(hive, value));
  return wholeName(held.get(), length) && text::equalsIgnoringCase(held.get(), name.c_str());
}

// One value as it is stored, ready to be written back.
struct StoredValue {
  Allocated<char> name;
  std::uint32_t type = 0;
  std::size_t length = 0;
  Allocated<char> data;
};

bool readStored(hive_h* hive, hive_value_h value, StoredValue& stored) {
  errno = 0;
  std::size_t nameLength = hivex_value_key_len(hive, value);
  if (nameLength == 0 && errno != 0) return false;
  stored.name.reset(hivex_value_key(hive, value));
  if (!wholeName(stored.name.get(), nameLength)) return false;
  stored.data.reset(hivex_value_value(hive, value, typeSlot(stored.type), &stored.length));
  return stored.data != nullptr;
}

bool sameStored(const StoredValue& a, const StoredValue& b) {
  return std::strcmp(a.name.get(), b.name.get()) == 0 && a.type == b.type && a.length == b.length &&
         std::memcmp(a.data.get(), b.data.get(), a.length) == 0;
}

}  // namespace

void setType(hive_set_value& value, std::uint32_t type) {
  std::memcpy(&value.t, &type, sizeof type);
}

std::string utf8FromSingleByte(const char* text) {
  std::string utf8;
  for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at != 0; ++at) {
    if (*at < 0x80) {
      utf8 += static_cast<char>(*at);
    } else {
      utf8 += static_cast<char>(0xC0 | (*at >> 6));
      utf8 += static_cast<char>(0x80 | (*at & 0x3F));
    }
  }
  return utf8;
}

bool splitKeyPath(const char* path, std::vector<std::string>& components) {
  components.clear();
  if (path == nullptr || path[0] == '\0') return true;
  const char* start = path;
  for (;;) {
    const char* end = std::strchr(start, '\\');
    std::size_t length =
        end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    if (length == 0) return false;
    components.emplace_back(utf8FromSingleByte(std::string(start, length).c_str()));
    if (end == nullptr) return true;
    start = end + 1;
  }
}

hive_node_h childNamed(hive_h* hive, hive_node_h parent, const std::string& name) {
  Allocated<hive_node_h> children(hivex_node_children(hive, parent));
  if (!children) return 0;
  hive_node_h found = 0;
  for (const hive_node_h* child = children.get(); *child != 0; ++child) {
    if (!nodeNameIs(hive, *child, name)) continue;
    if (found != 0) return 0;  // two keys answer to the name: neither is taken
    found = *child;
  }
  return found;
}

hive_node_h keyAt(hive_h* hive, const std::vector<std::string>& components) {
  hive_node_h node = hivex_root(hive);
  for (const std::string& component : components) {
    if (node == 0) return 0;
    node = childNamed(hive, node, component);
  }
  return node;
}

hive_value_h valueNamed(hive_h* hive, hive_node_h key, const std::string& name) {
  Allocated<hive_value_h> values(hivex_node_values(hive, key));
  if (!values) return 0;
  hive_value_h found = 0;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    if (!valueNameIs(hive, *value, name)) continue;
    if (found != 0) return 0;
    found = *value;
  }
  return found;
}

bool readValue(hive_h* hive, hive_value_h value, std::uint32_t& type, std::string& data) {
  std::uint32_t storedType = 0;
  std::size_t length = 0;
  Allocated<char> stored(hivex_value_value(hive, value, typeSlot(storedType), &length));
  if (!stored) return false;
  type = storedType;
  if (!isStringType(type) || length % 2 != 0) {
    data.assign(stored.get(), length);
    return true;
  }
  data.clear();
  const auto* units = reinterpret_cast<const unsigned char*>(stored.get());
  for (std::size_t at = 0; at < length; at += 2) {
    unsigned unit = units[at] | static_cast<unsigned>(units[at + 1]) << 8;
    bool highSurrogate = unit >= 0xD800 && unit < 0xDC00;
    if (highSurrogate && at + 2 < length) {
      unsigned next = units[at + 2] | static_cast<unsigned>(units[at + 3]) << 8;
      if (next >= 0xDC00 && next < 0xE000) at += 2;  // one character, one '?'
    }
    data += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return true;
}

ValueRemoval removeValue(hive_h* hive, hive_node_h key, hive_value_h victim) {
  Allocated<hive_value_h> values(hivex_node_values(hive, key));
  if (!values) return ValueRemoval::kNotRewritable;
  std::vector<StoredValue> kept;
  bool victimFound = false;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    if (*value == victim) {
      victimFound = true;
      continue;
    }
    kept.emplace_back();
    if (!readStored(hive, *value, kept.back()) || kept.back().length > kLargestRewritableData) {
      return ValueRemoval::kNotRewritable;
    }
  }
  if (!victimFound) return ValueRemoval::kNotRewritable;

  std::vector<hive_set_value> list;
  for (StoredValue& value : kept) {
    hive_set_value entry = {value.name.get(), hive_t_REG_NONE, value.length, value.data.get()};
    setType(entry, value.type);
    list.push_back(entry);
  }
  if (hivex_node_set_values(hive, key, list.size(), list.data(), 0) != 0) {
    return ValueRemoval::kSpoiled;
  }

  // Read the key back: exactly the values kept, each as it was.
  Allocated<hive_value_h> after(hivex_node_values(hive, key));
  if (!after) return ValueRemoval::kSpoiled;
  std::size_t count = 0;
  for (const hive_value_h* value = after.get(); *value != 0; ++value, ++count) {
    StoredValue now;
    if (count >= kept.size() || !readStored(hive, *value, now) || !sameStored(now, kept[count])) {
      return ValueRemoval::kSpoiled;
    }
  }
  return count == kept.size() ? ValueRemoval::kRemoved : ValueRemoval::kSpoiled;
}

}  // namespace platform::offline
