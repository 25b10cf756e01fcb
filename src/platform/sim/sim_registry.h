// The simulated machine's registry: the predefined roots, keys made by adding values, access
// rights per key, and per-value faults. Key paths compare case-insensitively; value names
// compare case-insensitively but otherwise exactly (a trailing blank matters), as the system's.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/registry.h"
#include "platform/sim/sim_handles.h"

namespace sim {

enum class RegistryFault {
  Query,   // the value cannot be read (access denied)
  Delete,  // the value cannot be deleted (access denied)
};

class SimRegistry : public platform::Registry {
 public:
  explicit SimRegistry(SimHandles& handles);

  // Building the machine. Keys along the path are made as needed; setting an existing value
  // replaces it. `root` is one of the predefined roots; for kRootPerformanceData the subkey is
  // empty and the value is answered straight on the root.
  void addKey(platform::Handle root, const std::string& subkey);
  void setValue(platform::Handle root, const std::string& subkey, const std::string& name,
                std::uint32_t type, const std::string& bytes);
  // A string value, stored with its terminating zero as the system stores it.
  void setString(platform::Handle root, const std::string& subkey, const std::string& name,
                 const std::string& text);
  // The key may then be opened only for rights within `granted`: kKeyRead leaves it readable
  // but not writable, 0 closes it altogether.
  void restrictAccess(platform::Handle root, const std::string& subkey, std::uint32_t granted);
  void inject(RegistryFault fault, platform::Handle root, const std::string& subkey,
              const std::string& name);
  // Makes this a 64-bit Windows, whose HKEY_LOCAL_MACHINE\Software has a 32-bit view: keys
  // opened with kKeyView32 below it are those under Software\Wow6432Node, as a 32-bit
  // program's values are stored. Without it, opening with either view fails, as on the systems
  // that have no 64-bit edition.
  void makeSixtyFourBit() { sixtyFourBit_ = true; }

  // Looking at the machine.
  bool hasKey(platform::Handle root, const std::string& subkey) const;
  bool hasValue(platform::Handle root, const std::string& subkey, const std::string& name) const;
  std::string dump() const;

  // platform::Registry
  long openKey(platform::Handle root, const char* subkey, std::uint32_t access,
               platform::Handle& key) override;
  long queryValue(platform::Handle key, const char* name, std::uint32_t* type, void* data,
                  std::uint32_t* size) override;
  long deleteValue(platform::Handle key, const char* name) override;
  long closeKey(platform::Handle key) override;
  platform::RegistryViews views() override;

 private:
  struct Value {
    std::string name;
    std::uint32_t type = 0;
    std::string bytes;
  };
  struct Key {
    std::string path;  // as first spelt, for dump()
    std::vector<Value> values;
    std::uint32_t granted = ~std::uint32_t{0};
  };
  struct OpenKey {
    std::string id;
    std::uint32_t access = 0;
  };

  // A key's identity: its root's name and the upper-cased path below it.
  static std::string idOf(platform::Handle root, const std::string& subkey);
  Key& ensureKey(platform::Handle root, const std::string& subkey);
  const Key* findKey(const std::string& id) const;
  // Resolves an open key or a root to its identity and rights; false for anything else.
  bool resolve(platform::Handle key, std::string& id, std::uint32_t& access) const;
  static const Value* findValue(const Key& key, const char* name);
  bool faulty(RegistryFault fault, const std::string& id, const char* name) const;

  SimHandles& handles_;
  std::map<std::string, Key> keys_;
  std::map<platform::Handle, OpenKey> open_;
  std::set<std::tuple<RegistryFault, std::string, std::string>> faults_;
  bool sixtyFourBit_ = false;
};

}  // namespace sim
