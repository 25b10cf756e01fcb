#include "platform/offline/hive_keys.h"

#include <algorithm>
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
bool wholeName(const char* name, std::size_t length) {
  return name != nullptr && std::strlen(name) == length;
}

enum class NameRead { kMatches, kDiffers, kUnreadable };

std::string systemError(int error) { return std::strerror(error != 0 ? error : EINVAL); }

NameRead compareName(const char* held, std::size_t length, const std::string& name) {
  if (!wholeName(held, length) || length != name.size()) return NameRead::kDiffers;
  return text::equalsIgnoringCase(held, name.c_str()) ? NameRead::kMatches : NameRead::kDiffers;
}

NameRead nodeName(hive_h* hive, hive_node_h node, const std::string& name, int& error) {
  errno = 0;
  std::size_t length = hivex_node_name_len(hive, node);
  if (length == 0 && errno != 0) {
    error = errno;
    return NameRead::kUnreadable;
  }
  Allocated<char> held(hivex_node_name(hive, node));
  if (!held) {
    error = errno;
    return NameRead::kUnreadable;
  }
  return compareName(held.get(), length, name);
}

NameRead valueName(hive_h* hive, hive_value_h value, const std::string& name, int& error) {
  errno = 0;
  std::size_t length = hivex_value_key_len(hive, value);
  if (length == 0 && errno != 0) {
    error = errno;
    return NameRead::kUnreadable;
  }
  Allocated<char> held(hivex_value_key(hive, value));
  if (!held) {
    error = errno;
    return NameRead::kUnreadable;
  }
  return compareName(held.get(), length, name);
}

std::string joined(const std::vector<std::string>& components, std::size_t count) {
  if (count == 0) return "the root key";
  std::string path;
  for (std::size_t i = 0; i < count; ++i) path += (i == 0 ? "" : "\\") + components[i];
  return path;
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

NameSearch findChild(hive_h* hive, hive_node_h parent, const std::string& name, hive_node_h& child,
                     std::string& why) {
  child = 0;
  errno = 0;
  Allocated<hive_node_h> children(hivex_node_children(hive, parent));
  if (!children) {
    why = "its list of subkeys cannot be read (" + systemError(errno) + ")";
    return NameSearch::kUnreadable;
  }
  // Every name is read, even after a match: a twin further on makes the name ambiguous, and a
  // name that cannot be read may be the twin.
  NameSearch result = NameSearch::kAbsent;
  for (const hive_node_h* at = children.get(); *at != 0; ++at) {
    int error = 0;
    switch (nodeName(hive, *at, name, error)) {
      case NameRead::kDiffers:
        break;
      case NameRead::kUnreadable:
        why = "the name of one of its subkeys cannot be read (" + systemError(error) + ")";
        child = 0;
        return NameSearch::kUnreadable;
      case NameRead::kMatches:
        if (child != 0 && child != *at) {
          why = "two of its subkeys answer to the name \"" + name + "\"";
          result = NameSearch::kAmbiguous;
        } else if (result != NameSearch::kAmbiguous) {
          child = *at;
          result = NameSearch::kFound;
        }
        break;
    }
  }
  if (result != NameSearch::kFound) child = 0;
  return result;
}

NameSearch findKeyAt(hive_h* hive, const std::vector<std::string>& components, hive_node_h& key,
                     std::string& why) {
  key = 0;
  errno = 0;
  hive_node_h node = hivex_root(hive);
  if (node == 0) {
    why = "the hive has no root key (" + systemError(errno) + ")";
    return NameSearch::kUnreadable;
  }
  for (std::size_t depth = 0; depth < components.size(); ++depth) {
    hive_node_h child = 0;
    std::string problem;
    NameSearch found = findChild(hive, node, components[depth], child, problem);
    if (found != NameSearch::kFound) {
      if (found != NameSearch::kAbsent) why = "at " + joined(components, depth) + ": " + problem;
      return found;
    }
    node = child;
  }
  key = node;
  return NameSearch::kFound;
}

NameSearch findValues(hive_h* hive, hive_node_h key, const std::string& name,
                      std::vector<hive_value_h>& values, std::string& why) {
  values.clear();
  errno = 0;
  Allocated<hive_value_h> listed(hivex_node_values(hive, key));
  if (!listed) {
    why = "the key's list of values cannot be read (" + systemError(errno) + ")";
    return NameSearch::kUnreadable;
  }
  // A list that names one value twice is damaged: hivex would free the value twice when the list
  // is rewritten. Sorted first: a hostile key may list many thousands.
  std::vector<hive_value_h> seen;
  for (const hive_value_h* at = listed.get(); *at != 0; ++at) seen.push_back(*at);
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) {
    why = "the key's list of values names one value twice";
    return NameSearch::kUnreadable;
  }
  for (const hive_value_h* at = listed.get(); *at != 0; ++at) {
    int error = 0;
    switch (valueName(hive, *at, name, error)) {
      case NameRead::kDiffers:
        break;
      case NameRead::kUnreadable:
        why = "the name of one of the key's values cannot be read (" + systemError(error) + ")";
        values.clear();
        return NameSearch::kUnreadable;
      case NameRead::kMatches:
        values.push_back(*at);
        break;
    }
  }
  return values.empty() ? NameSearch::kAbsent : NameSearch::kFound;
}

hive_node_h childNamed(hive_h* hive, hive_node_h parent, const std::string& name) {
  hive_node_h child = 0;
  std::string why;
  return findChild(hive, parent, name, child, why) == NameSearch::kFound ? child : 0;
}

hive_node_h keyAt(hive_h* hive, const std::vector<std::string>& components) {
  hive_node_h key = 0;
  std::string why;
  return findKeyAt(hive, components, key, why) == NameSearch::kFound ? key : 0;
}

hive_value_h valueNamed(hive_h* hive, hive_node_h key, const std::string& name) {
  std::vector<hive_value_h> values;
  std::string why;
  if (findValues(hive, key, name, values, why) != NameSearch::kFound || values.size() != 1)
    return 0;
  return values.front();
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

ValueRemoval removeValues(hive_h* hive, hive_node_h key, const std::vector<hive_value_h>& victims) {
  Allocated<hive_value_h> values(hivex_node_values(hive, key));
  if (!values || victims.empty()) return ValueRemoval::kNotRewritable;
  std::vector<hive_value_h> doomed = victims;
  std::sort(doomed.begin(), doomed.end());
  std::vector<StoredValue> kept;
  std::size_t victimsFound = 0;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    if (std::binary_search(doomed.begin(), doomed.end(), *value)) {
      ++victimsFound;
      continue;
    }
    kept.emplace_back();
    if (!readStored(hive, *value, kept.back()) || kept.back().length > kLargestRewritableData) {
      return ValueRemoval::kNotRewritable;
    }
  }
  if (victimsFound != victims.size()) return ValueRemoval::kNotRewritable;

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
