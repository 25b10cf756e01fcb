#include "platform/offline/hive_editor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "common/bounded_text.h"
#include "platform/offline/hivex_memory.h"
#include "platform/offline/hive_cells.h"

namespace platform::offline {
namespace {

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool readWhole(int fd, std::vector<std::uint8_t>& bytes) {
  struct stat status;
  if (fstat(fd, &status) != 0 || status.st_size < 0) return false;
  bytes.assign(static_cast<std::size_t>(status.st_size), 0);
  std::size_t got = 0;
  while (got < bytes.size()) {
    ssize_t read = pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return false;
    got += static_cast<std::size_t>(read);
  }
  return true;
}

// "ControlSet" and three digits, in any letter case.
bool isControlSetName(const char* name, std::size_t length) {
  constexpr std::size_t kStem = 10;
  if (length != kStem + 3 || std::strlen(name) != length) return false;
  char stem[kStem + 1] = {};
  std::memcpy(stem, name, kStem);
  if (!text::equalsIgnoringCase(stem, "ControlSet")) return false;
  for (std::size_t at = kStem; at < length; ++at) {
    if (!std::isdigit(static_cast<unsigned char>(name[at]))) return false;
  }
  return true;
}

// The control sets of the SYSTEM hive, in the order of their numbers.
std::vector<hive_node_h> controlSets(hive_h* hive) {
  Allocated<hive_node_h> children(hivex_node_children(hive, hivex_root(hive)));
  std::vector<std::pair<std::string, hive_node_h>> found;
  if (children) {
    for (const hive_node_h* child = children.get(); *child != 0; ++child) {
      Allocated<char> name(hivex_node_name(hive, *child));
      if (name && isControlSetName(name.get(), hivex_node_name_len(hive, *child))) {
        found.emplace_back(name.get() + 10, *child);
      }
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<hive_node_h> sets;
  for (const auto& [number, node] : found) sets.push_back(node);
  return sets;
}

// "ControlSet001\Services\Name": the key's path from the hive's root, as stored.
std::string keyPathOf(hive_h* hive, hive_node_h key) {
  std::string path;
  hive_node_h root = hivex_root(hive);
  for (int depth = 0; key != 0 && key != root && depth < 16; ++depth) {
    Allocated<char> name(hivex_node_name(hive, key));
    path = std::string(name ? name.get() : "?") + (path.empty() ? "" : "\\" + path);
    key = hivex_node_parent(hive, key);
  }
  return path;
}

}  // namespace

HiveEditor::~HiveEditor() {
  if (hive_ != nullptr) hivex_close(hive_);
}

std::unique_ptr<HiveEditor> HiveEditor::open(int inputFd, int scratchFd, int& error) {
  std::unique_ptr<HiveEditor> editor(new HiveEditor);
  editor->inputFd_ = inputFd;
  editor->scratchFd_ = scratchFd;
  errno = 0;
  editor->hive_ = hivex_open(descriptorPath(inputFd).c_str(), HIVEX_OPEN_WRITE);
  if (editor->hive_ == nullptr) {
    error = errno != 0 ? errno : EINVAL;
    return nullptr;
  }
  return editor;
}

bool HiveEditor::serialise(int fd) {
  if (hivex_commit(hive_, descriptorPath(fd).c_str(), 0) != 0) return false;
  return true;
}

bool HiveEditor::currentImage(std::vector<std::uint8_t>& bytes) {
  if (!imageFresh_) {
    int from = inputFd_;
    if (changed_) {
      if (scratchFd_ < 0 || !serialise(scratchFd_)) return false;
      from = scratchFd_;
    }
    if (!readWhole(from, image_)) return false;
    imageFresh_ = true;
  }
  bytes.swap(image_);
  return true;
}

bool HiveEditor::valueReadable(hive_value_h value, std::string& why) {
  std::vector<std::uint8_t> bytes;
  if (!currentImage(bytes)) {
    why = "the hive's cells could not be read back";
    return false;
  }
  bool readable = checkValueData(HiveImage(bytes.data(), bytes.size()), value, why);
  bytes.swap(image_);
  return readable;
}

bool HiveEditor::valuesFreeable(hive_node_h key, std::string& why) {
  std::vector<std::uint8_t> bytes;
  if (!currentImage(bytes)) {
    why = "the hive's cells could not be read back";
    return false;
  }
  bool freeable = checkValuesFreeable(HiveImage(bytes.data(), bytes.size()), key, why);
  bytes.swap(image_);
  return freeable;
}

Lookup HiveEditor::findKey(const std::vector<std::string>& path) {
  std::string why;
  return findKey(path, why);
}

namespace {

Lookup lookupOf(NameSearch search) {
  switch (search) {
    case NameSearch::kFound:
      return Lookup::kFound;
    case NameSearch::kAbsent:
      return Lookup::kAbsent;
    case NameSearch::kAmbiguous:
      return Lookup::kAmbiguous;
    case NameSearch::kUnreadable:
      break;
  }
  return Lookup::kFailed;
}

}  // namespace

Lookup HiveEditor::findKey(const std::vector<std::string>& path, std::string& why) {
  hive_node_h key = 0;
  return lookupOf(findKeyAt(hive_, path, key, why));
}

Lookup HiveEditor::queryValue(const std::vector<std::string>& path, const std::string& name,
                              std::uint32_t& type, std::string& data, std::string& why) {
  hive_node_h key = 0;
  std::vector<hive_value_h> values;
  Lookup found = lookupOf(findKeyAt(hive_, path, key, why));
  if (found == Lookup::kFound) found = lookupOf(findValues(hive_, key, name, values, why));
  if (found != Lookup::kFound) return found;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t storedType = 0;
    std::string stored;
    if (!valueReadable(values[i], why)) return Lookup::kFailed;
    if (!readValue(hive_, values[i], storedType, stored)) {
      why = "hivex cannot read the value's data";
      return Lookup::kFailed;
    }
    if (i == 0) {
      type = storedType;
      data.swap(stored);
    }
  }
  return Lookup::kFound;
}

ValueRemoval HiveEditor::removeValue(const std::vector<std::string>& path, const std::string& name,
                                     std::string& why) {
  hive_node_h key = 0;
  std::vector<hive_value_h> victims;
  Lookup found = lookupOf(findKeyAt(hive_, path, key, why));
  if (found == Lookup::kFound) found = lookupOf(findValues(hive_, key, name, victims, why));
  if (found == Lookup::kAbsent) return ValueRemoval::kAbsent;
  if (found != Lookup::kFound) return ValueRemoval::kFailed;
  // Every value of the key is read to be written back, and freed by hivex: each must lie in the
  // hive, and no cell of theirs be met twice.
  Allocated<hive_value_h> values(hivex_node_values(hive_, key));
  if (!values) return ValueRemoval::kNotRewritable;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    if (!valueReadable(*value, why)) return ValueRemoval::kFailed;
  }
  if (!valuesFreeable(key, why)) return ValueRemoval::kFailed;
  ValueRemoval removal = platform::offline::removeValues(hive_, key, victims);
  if (removal == ValueRemoval::kRemoved || removal == ValueRemoval::kSpoiled) {
    changed_ = true;
    imageFresh_ = false;
  }
  return removal;
}

std::vector<hive_node_h> HiveEditor::serviceKeys(const std::string& name) {
  std::vector<hive_node_h> keys;
  for (hive_node_h set : controlSets(hive_)) {
    hive_node_h services = childNamed(hive_, set, "Services");
    hive_node_h service = services != 0 ? childNamed(hive_, services, name) : 0;
    if (service != 0) keys.push_back(service);
  }
  return keys;
}

int HiveEditor::serviceKeyCount(const std::string& name) {
  return static_cast<int>(serviceKeys(name).size());
}

Lookup HiveEditor::serviceImagePath(const std::string& name, std::string& path, std::string& why) {
  for (hive_node_h key : serviceKeys(name)) {
    hive_value_h value = valueNamed(hive_, key, "ImagePath");
    if (value == 0) continue;
    if (!valueReadable(value, why)) return Lookup::kFailed;
    std::uint32_t type = 0;
    std::string stored;
    if (!readValue(hive_, value, type, stored)) continue;
    // Stored with its terminating zero; the path is the text before it.
    path = stored.substr(0, stored.find('\0'));
    return Lookup::kFound;
  }
  return Lookup::kAbsent;
}

Lookup HiveEditor::findServiceKeys(const std::string& name, std::string& why) {
  // The control sets are found by their names among the root's subkeys: a list or a name there
  // that cannot be read may hide one.
  errno = 0;
  Allocated<hive_node_h> children(hivex_node_children(hive_, hivex_root(hive_)));
  if (!children) {
    why =
        std::string("the root key's list of subkeys cannot be read (") + std::strerror(errno) + ")";
    return Lookup::kFailed;
  }
  for (const hive_node_h* child = children.get(); *child != 0; ++child) {
    errno = 0;
    Allocated<char> childName(hivex_node_name(hive_, *child));
    if (!childName) {
      why = std::string("the name of one of the root key's subkeys cannot be read (") +
            std::strerror(errno) + ")";
      return Lookup::kFailed;
    }
  }
  bool found = false;
  for (hive_node_h set : controlSets(hive_)) {
    hive_node_h services = 0;
    std::string problem;
    NameSearch search = findChild(hive_, set, "Services", services, problem);
    std::string where = keyPathOf(hive_, set);
    if (search == NameSearch::kFound) {
      hive_node_h service = 0;
      where += "\\Services";
      search = findChild(hive_, services, name, service, problem);
    }
    if (search == NameSearch::kFound) found = true;
    if (search == NameSearch::kUnreadable || search == NameSearch::kAmbiguous) {
      why = "at " + where + ": " + problem;
      return lookupOf(search);
    }
  }
  return found ? Lookup::kFound : Lookup::kAbsent;
}

ServiceDeletion HiveEditor::deleteService(const std::string& name,
                                          std::vector<std::string>& deleted, std::string& why) {
  // A deletion invalidates the keys below the one deleted, so the next control set's key is
  // found anew each time.
  std::size_t controlSetsHolding = serviceKeys(name).size();
  for (std::size_t round = 0; round < controlSetsHolding; ++round) {
    std::vector<hive_node_h> keys = serviceKeys(name);
    if (keys.empty()) break;
    std::string where = keyPathOf(hive_, keys.front());
    std::vector<std::uint8_t> bytes;
    if (!currentImage(bytes)) {
      why = where + ": the hive's cells could not be read back";
      return ServiceDeletion::kRefused;
    }
    std::string problem;
    bool deletable = checkDeletable(HiveImage(bytes.data(), bytes.size()), keys.front(), problem);
    bytes.swap(image_);
    if (!deletable) {
      why = where + ": " + problem;
      return ServiceDeletion::kRefused;
    }
    changed_ = true;
    imageFresh_ = false;
    if (hivex_node_delete_child(hive_, keys.front()) != 0) {
      why = where + ": hivex failed half-way (" + std::strerror(errno) + ")";
      return ServiceDeletion::kSpoiled;
    }
    deleted.push_back(where);
  }
  if (!serviceKeys(name).empty()) {
    why = "the service key \"" + name + "\" is still there after deletion";
    return ServiceDeletion::kSpoiled;
  }
  return controlSetsHolding > 0 ? ServiceDeletion::kDeleted : ServiceDeletion::kAbsent;
}

// --- The comparison of a hive with its edited copy ---

namespace {

// The removals as a tree of key names, so that each key of the walk knows what of it is removed.
struct RemovalNode {
  std::string name;
  bool removed = false;             // the whole key goes
  std::vector<std::string> values;  // values of this key that go
  std::vector<std::unique_ptr<RemovalNode>> children;

  RemovalNode* child(const std::string& wanted, bool make) {
    for (auto& existing : children) {
      if (existing->name.size() == wanted.size() &&
          text::equalsIgnoringCase(existing->name.c_str(), wanted.c_str())) {
        return existing.get();
      }
    }
    if (!make) return nullptr;
    children.push_back(std::make_unique<RemovalNode>());
    children.back()->name = wanted;
    return children.back().get();
  }
};

RemovalNode* nodeFor(RemovalNode& root, const std::vector<std::string>& path) {
  RemovalNode* node = &root;
  for (const std::string& component : path) node = node->child(component, true);
  return node;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && a.find('\0') == std::string::npos &&
         text::equalsIgnoringCase(a.c_str(), b.c_str());
}

bool nodeName(hive_h* hive, hive_node_h node, std::string& name) {
  Allocated<char> held(hivex_node_name(hive, node));
  if (!held) return false;
  name.assign(held.get(), std::strlen(held.get()));
  return true;
}

struct StoredValue {
  std::string name;
  // False when the stored name holds a NUL (`name` is then cut there): the editor's look-ups
  // match no such name, so no removal may account for it.
  bool wholeName = true;
  std::uint32_t type = 0;
  std::string data;
};

bool storedValues(hive_h* hive, hive_node_h node, std::vector<StoredValue>& stored) {
  stored.clear();
  errno = 0;
  Allocated<hive_value_h> values(hivex_node_values(hive, node));
  if (!values) return false;
  for (const hive_value_h* value = values.get(); *value != 0; ++value) {
    StoredValue entry;
    errno = 0;
    std::size_t nameLength = hivex_value_key_len(hive, *value);
    if (nameLength == 0 && errno != 0) return false;
    Allocated<char> name(hivex_value_key(hive, *value));
    if (!name) return false;
    entry.name.assign(name.get(), std::strlen(name.get()));
    entry.wholeName = entry.name.size() == nameLength;
    std::size_t length = 0;
    Allocated<char> data(hivex_value_value(hive, *value, typeSlot(entry.type), &length));
    if (!data) return false;
    entry.data.assign(data.get(), length);
    stored.push_back(std::move(entry));
  }
  return true;
}

bool children(hive_h* hive, hive_node_h node, std::vector<hive_node_h>& list) {
  list.clear();
  errno = 0;
  Allocated<hive_node_h> held(hivex_node_children(hive, node));
  if (!held) return false;
  for (const hive_node_h* child = held.get(); *child != 0; ++child) list.push_back(*child);
  return true;
}

}  // namespace

bool sameHiveLessRemovals(hive_h* original, hive_h* edited, const HiveRemovals& removals,
                          std::string& why) {
  RemovalNode plan;
  for (const HiveRemovals::Value& value : removals.values) {
    nodeFor(plan, value.key)->values.push_back(value.name);
  }
  for (const std::vector<std::string>& key : removals.keys) {
    if (key.empty()) {
      why = "the root key cannot be removed";
      return false;
    }
    nodeFor(plan, key)->removed = true;
  }

  struct Pair {
    hive_node_h original;
    hive_node_h edited;
    RemovalNode* plan;
    std::size_t depth;
  };
  std::vector<Pair> pending = {{hivex_root(original), hivex_root(edited), &plan, 0}};
  // A key listed under two parents (or under itself) is compared once: met again, it must be
  // met as the same pair of keys.
  std::unordered_map<hive_node_h, hive_node_h> pairedOriginal;
  std::unordered_map<hive_node_h, hive_node_h> pairedEdited;
  std::vector<StoredValue> before;
  std::vector<StoredValue> after;
  std::vector<hive_node_h> keysBefore;
  std::vector<hive_node_h> keysAfter;
  while (!pending.empty()) {
    Pair pair = pending.back();
    pending.pop_back();
    if (pair.original == 0 || pair.edited == 0) {
      why = "a hive has no root key";
      return false;
    }
    auto metBefore = pairedOriginal.emplace(pair.original, pair.edited);
    auto metAfter = pairedEdited.emplace(pair.edited, pair.original);
    if (!metBefore.second || !metAfter.second) {
      if (metBefore.first->second == pair.edited && metAfter.first->second == pair.original) {
        continue;
      }
      why = "a key is met twice, paired with different keys";
      return false;
    }
    std::string nameBefore;
    std::string nameAfter;
    if (!nodeName(original, pair.original, nameBefore) ||
        !nodeName(edited, pair.edited, nameAfter)) {
      why = "a key's name cannot be read";
      return false;
    }
    std::string where = "the key \"" + nameBefore + "\" (depth " + std::to_string(pair.depth) + ")";
    if (nameBefore != nameAfter) {
      why = where + " is named \"" + nameAfter + "\" in the edited hive";
      return false;
    }

    if (!storedValues(original, pair.original, before) ||
        !storedValues(edited, pair.edited, after)) {
      why = "the values of " + where + " cannot be read";
      return false;
    }
    std::size_t kept = 0;
    for (const StoredValue& value : before) {
      bool removed = false;
      if (pair.plan != nullptr && value.wholeName) {
        for (const std::string& name : pair.plan->values) {
          if (sameNameIgnoringCase(value.name, name)) removed = true;
        }
      }
      if (removed) continue;
      if (kept >= after.size() || after[kept].name != value.name ||
          after[kept].type != value.type || after[kept].data != value.data) {
        why = "the value \"" + value.name + "\" of " + where + " differs in the edited hive";
        return false;
      }
      ++kept;
    }
    if (kept != after.size()) {
      why = where + " has values in the edited hive that it did not have";
      return false;
    }

    if (!children(original, pair.original, keysBefore) ||
        !children(edited, pair.edited, keysAfter)) {
      why = "the subkeys of " + where + " cannot be read";
      return false;
    }
    std::size_t next = 0;
    for (hive_node_h child : keysBefore) {
      std::string childName;
      if (!nodeName(original, child, childName)) {
        why = "a subkey's name of " + where + " cannot be read";
        return false;
      }
      RemovalNode* childPlan = pair.plan != nullptr ? pair.plan->child(childName, false) : nullptr;
      if (childPlan != nullptr && childPlan->removed) continue;
      if (next >= keysAfter.size()) {
        why = "the subkey \"" + childName + "\" of " + where + " is missing in the edited hive";
        return false;
      }
      pending.push_back({child, keysAfter[next], childPlan, pair.depth + 1});
      ++next;
    }
    if (next != keysAfter.size()) {
      why = where + " has subkeys in the edited hive that it did not have";
      return false;
    }
  }
  return true;
}

}  // namespace platform::offline
