// Keys and values of a hive open in hivex, looked up as Windows looks them up: names compare
// ignoring case (in the ASCII range) but otherwise exactly, so a trailing blank matters. A name
// that holds a NUL inside it matches nothing. A list or a name that cannot be read is never
// taken for "absent": the entry looked for may be the one that cannot be read.
#pragma once

#include <hivex.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform::offline {

// A hive may hold any 32-bit number as a value's type, and hivex passes it through its enum,
// which C++ may not hold numbers beyond the enum's own in. These carry the number in an integer
// of the same size: hivex writes through typeSlot(), and setType() fills a value to be set.
static_assert(sizeof(hive_type) == sizeof(std::uint32_t), "hivex's types are 32-bit");
inline hive_type* typeSlot(std::uint32_t& type) { return reinterpret_cast<hive_type*>(&type); }
void setType(hive_set_value& value, std::uint32_t type);

// The seam's single-byte text (taken as Latin-1) as the UTF-8 that hivex hands names out in.
std::string utf8FromSingleByte(const char* text);

// Splits a key path at its backslashes. False for an empty component (a doubled, leading or
// trailing backslash); an empty path gives no components.
bool splitKeyPath(const char* path, std::vector<std::string>& components);

// How a look-up by name went.
enum class NameSearch {
  kFound,
  kAbsent,      // every entry could be read, and none answers to the name
  kUnreadable,  // a list, or the name of an entry, could not be read: the entry may be there
  kAmbiguous,   // two keys answer to the name: neither is taken
};

// The subkey `name` (UTF-8) of `parent` in `child` when found; `why` says what went wrong
// otherwise.
NameSearch findChild(hive_h* hive, hive_node_h parent, const std::string& name, hive_node_h& child,
                     std::string& why);
// The key at `components` below the hive's root; `why` names the key where the search stopped.
NameSearch findKeyAt(hive_h* hive, const std::vector<std::string>& components, hive_node_h& key,
                     std::string& why);
// Every value of `key` that answers to `name` (UTF-8), in the order of the key's list: a hive
// that Windows did not write may hold several, in any letter case, and each of them is the
// value asked for. kFound when there is at least one; kUnreadable also for a list that names
// one value twice.
NameSearch findValues(hive_h* hive, hive_node_h key, const std::string& name,
                      std::vector<hive_value_h>& values, std::string& why);

// The same, where only a clear answer is of use: the subkey `name` of `parent`, the key at
// `components`, the only value `name` of `key`; 0 for anything else.
hive_node_h childNamed(hive_h* hive, hive_node_h parent, const std::string& name);
hive_node_h keyAt(hive_h* hive, const std::vector<std::string>& components);
hive_value_h valueNamed(hive_h* hive, hive_node_h key, const std::string& name);

// A value as the single-byte registry functions hand it out: string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) stored as UTF-16LE become one byte per character ('?' for
// characters beyond Latin-1); other types are the stored bytes. False when hivex cannot read it.
bool readValue(hive_h* hive, hive_value_h value, std::uint32_t& type, std::string& data);

enum class ValueRemoval {
  kRemoved,
  kAbsent,         // no value (or no key) answers to the name
  kFailed,         // the hive could not be read or edited safely: nothing was changed
  kNotRewritable,  // a value kept beside it could not be carried over faithfully: untouched
  kSpoiled,        // hivex failed half-way, or the key read back wrong: the hive is not sound
};

// Removes `victims` (values of `key`, each listed once) from `key`. hivex can only set a key's
// whole list of values, so the others are read and written back, and the key is read again to
// verify that exactly the victims went.
ValueRemoval removeValues(hive_h* hive, hive_node_h key, const std::vector<hive_value_h>& victims);

}  // namespace platform::offline
