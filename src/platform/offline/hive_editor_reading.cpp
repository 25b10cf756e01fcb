// The editor's answers to what the rescue reads of an installation's own settings (its profiles,
// its users' temporary folders, its current control set): names and strings, bounded, read only
// where the hive's cells hold them.
#include <cerrno>
#include <cstring>

#include "platform/offline/hive_editor.h"
#include "platform/offline/hive_text.h"
#include "platform/offline/hivex_memory.h"

namespace platform::offline {
namespace {

// A key's name is at most 255 characters: three bytes each in UTF-8 at the most that matters.
constexpr std::size_t kLongestKeyName = 255 * 3;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;

}  // namespace

Lookup HiveEditor::subkeyNames(const std::vector<std::string>& path, std::size_t most,
                               std::vector<std::string>& names, std::uint32_t& total,
                               std::string& why) {
  names.clear();
  total = 0;
  hive_node_h key = keyAt(hive_, path);
  if (key == 0) return Lookup::kAbsent;
  errno = 0;
  Allocated<hive_node_h> children(hivex_node_children(hive_, key));
  if (!children) {
    why = std::string("its list of subkeys cannot be read (") +
          std::strerror(errno ? errno : EINVAL) + ")";
    return Lookup::kFailed;
  }
  for (const hive_node_h* child = children.get(); *child != 0; ++child) {
    ++total;
    if (names.size() >= most) continue;
    errno = 0;
    std::size_t length = hivex_node_name_len(hive_, *child);
    Allocated<char> name(hivex_node_name(hive_, *child));
    if (!name || std::strlen(name.get()) != length || length == 0 ||
        std::strlen(name.get()) > kLongestKeyName) {
      continue;
    }
    names.emplace_back(name.get());
  }
  return Lookup::kFound;
}

Lookup HiveEditor::queryText(const std::vector<std::string>& path, const std::string& name,
                             std::size_t longest, std::uint32_t& type, std::string& text,
                             std::string& why) {
  text.clear();
  hive_node_h key = keyAt(hive_, path);
  hive_value_h value = key != 0 ? valueNamed(hive_, key, name) : 0;
  if (value == 0) return Lookup::kAbsent;
  if (!valueReadable(value, why)) return Lookup::kFailed;
  std::uint32_t storedType = 0;
  std::size_t length = 0;
  Allocated<char> stored(hivex_value_value(hive_, value, typeSlot(storedType), &length));
  if (!stored) {
    why = "hivex cannot read the value's data";
    return Lookup::kFailed;
  }
  type = storedType;
  if (storedType != kRegSz && storedType != kRegExpandSz) {
    why = "it is not a string (type " + std::to_string(storedType) + ")";
    return Lookup::kFailed;
  }
  if (length > longest) {
    why =
        "it is longer than " + std::to_string(longest) + " bytes (" + std::to_string(length) + ")";
    return Lookup::kFailed;
  }
  text = utf8FromUtf16(stored.get(), length);
  return Lookup::kFound;
}

}  // namespace platform::offline
