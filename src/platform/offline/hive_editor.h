// The work done on one hive inside the unprivileged child (hive_sandbox.h): hivex opens it,
// finds keys and values, removes values and service keys, and writes the result. It is the only
// code of the rescue that runs hivex over the hives of an installation, and it runs in-process
// in the fuzz target. Key paths are UTF-8 components below the hive's root; look-ups follow
// hive_keys.h.
#pragma once

#include <hivex.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/offline/hive_keys.h"

namespace platform::offline {

enum class Lookup {
  kFound,
  kAbsent,
  kFailed,     // the hive could not be read there (`why` says how)
  kAmbiguous,  // two keys on the path answer to one name (`why` says where): neither is taken
};

enum class ServiceDeletion {
  kDeleted,  // the service's key is gone from every control set that had it
  kAbsent,   // no control set has it
  kRefused,  // a key to delete failed the checks before deletion: it was left as it was
  kSpoiled,  // hivex failed half-way: the hive is not to be trusted
};

class HiveEditor {
 public:
  ~HiveEditor();
  HiveEditor(const HiveEditor&) = delete;
  HiveEditor& operator=(const HiveEditor&) = delete;

  // Opens the hive file `inputFd` (through its /proc/self/fd path, as hivex opens by name) into
  // memory for editing. `scratchFd`, a writable file of the editor's own, receives the hive
  // whenever the checks need its cells as they are after a change. Null on failure, `error` the
  // errno.
  static std::unique_ptr<HiveEditor> open(int inputFd, int scratchFd, int& error);

  hive_h* hive() const { return hive_; }

  Lookup findKey(const std::vector<std::string>& path);
  // The same, `why` saying what could not be read when it is neither found nor absent.
  Lookup findKey(const std::vector<std::string>& path, std::string& why);
  // The value as the seam hands it out (see readValue()). Where the key holds the name several
  // times (in any letter case), the first is handed out, and only when every one can be read.
  Lookup queryValue(const std::vector<std::string>& path, const std::string& name,
                    std::uint32_t& type, std::string& data, std::string& why);
  // Removes every value of the key that answers to `name`, all at once.
  ValueRemoval removeValue(const std::vector<std::string>& path, const std::string& name,
                           std::string& why);

  // The number of control sets whose Services key has the key `name`.
  int serviceKeyCount(const std::string& name);
  // The service's ImagePath as stored, from the first control set that has one.
  Lookup serviceImagePath(const std::string& name, std::string& path, std::string& why);
  // Deletes the service's key from each control set, after checkDeletable() (hive_cells.h) on
  // each. `deleted` receives the path of each key deleted, as stored
  // ("ControlSet001\Services\RpcTftpd"); `why` names the key refused and the reason.
  ServiceDeletion deleteService(const std::string& name, std::vector<std::string>& deleted,
                                std::string& why);
  // Whether the service's keys can be told apart in every control set. kFailed when a list or a
  // name on the way cannot be read, kAmbiguous when two keys answer to the service's name in one
  // Services key (`why` says where), and the requests above pass over such a control set; else
  // kFound when a control set has the key, kAbsent when none has.
  Lookup findServiceKeys(const std::string& name, std::string& why);

  // Writes the whole hive to the open file `fd`, from its start. False on failure (errno set).
  bool serialise(int fd);

  // What the rescue reads of an installation's settings (hive_editor_reading.cpp).
  // The names (UTF-8) of the first `most` subkeys of the key at `path`; `total` receives how
  // many it lists, names holding a NUL or too long to be a path's component left out of `names`.
  Lookup subkeyNames(const std::vector<std::string>& path, std::size_t most,
                     std::vector<std::string>& names, std::uint32_t& total, std::string& why);
  // A string value (REG_SZ or REG_EXPAND_SZ) as UTF-8, up to its terminating NUL. kFailed when
  // it is of another type, its cells do not hold it, or it is longer than `longest` bytes.
  Lookup queryText(const std::vector<std::string>& path, const std::string& name,
                   std::size_t longest, std::uint32_t& type, std::string& text, std::string& why);

 private:
  HiveEditor() = default;

  // The hive's bytes as they are now, for the cell checks.
  bool currentImage(std::vector<std::uint8_t>& bytes);
  bool valueReadable(hive_value_h value, std::string& why);
  // Whether hivex may set the key's values anew (see checkValuesFreeable()).
  bool valuesFreeable(hive_node_h key, std::string& why);
  std::vector<hive_node_h> serviceKeys(const std::string& name);

  hive_h* hive_ = nullptr;
  int inputFd_ = -1;
  int scratchFd_ = -1;
  bool changed_ = false;
  // The cells as last read, and whether a change has made them stale.
  std::vector<std::uint8_t> image_;
  bool imageFresh_ = false;
};

// What the comparison of a hive with its edited copy leaves out: values and whole keys the
// editor removed. Paths and names compare ignoring case, as the editor's look-ups do.
struct HiveRemovals {
  struct Value {
    std::vector<std::string> key;
    std::string name;
  };
  std::vector<Value> values;
  std::vector<std::vector<std::string>> keys;
};

// True when `edited` holds exactly the keys and values of `original` less `removals`: every
// key's name, its values in order (names, types, data) and its subkeys in order. Walked
// iteratively; a key listed twice is compared once, and must be met as the same pair of keys
// each time. `why` says where they differ.
bool sameHiveLessRemovals(hive_h* original, hive_h* edited, const HiveRemovals& removals,
                          std::string& why);

}  // namespace platform::offline
