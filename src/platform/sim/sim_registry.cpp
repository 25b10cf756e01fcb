#include "platform/sim/sim_registry.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/bounded_text.h"

namespace sim {
namespace {

constexpr std::uint32_t kKeyQueryValue = 0x0001;

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

SimRegistry::SimRegistry(SimHandles& handles) : handles_(handles) {
  for (platform::Handle root : {platform::kRootCurrentUser, platform::kRootLocalMachine,
                                platform::kRootUsers, platform::kRootPerformanceData}) {
    ensureKey(root, "");
  }
}

std::string SimRegistry::idOf(platform::Handle root, const std::string& subkey) {
  const char* name = platform::rootName(root);
  std::string id = name != nullptr ? name : "?";
  if (!subkey.empty()) id += "\\" + upper(subkey);
  return id;
}

SimRegistry::Key& SimRegistry::ensureKey(platform::Handle root, const std::string& subkey) {
  // Every key along the path exists, as it would on a real machine.
  std::size_t from = 0;
  for (;;) {
    std::size_t end = subkey.find('\\', from);
    std::string prefix = subkey.substr(0, end);
    auto [it, added] = keys_.try_emplace(idOf(root, prefix));
    if (added) it->second.path = idOf(root, "") + (prefix.empty() ? "" : "\\" + prefix);
    if (end == std::string::npos) return it->second;
    from = end + 1;
  }
}

const SimRegistry::Key* SimRegistry::findKey(const std::string& id) const {
  auto it = keys_.find(id);
  return it == keys_.end() ? nullptr : &it->second;
}

void SimRegistry::addKey(platform::Handle root, const std::string& subkey) {
  ensureKey(root, subkey);
}

void SimRegistry::setValue(platform::Handle root, const std::string& subkey,
                           const std::string& name, std::uint32_t type, const std::string& bytes) {
  Key& key = ensureKey(root, subkey);
  for (Value& value : key.values) {
    if (text::equalsIgnoringCase(value.name.c_str(), name.c_str())) {
      value = {name, type, bytes};
      return;
    }
  }
  key.values.push_back({name, type, bytes});
}

void SimRegistry::setString(platform::Handle root, const std::string& subkey,
                            const std::string& name, const std::string& text) {
  setValue(root, subkey, name, platform::kRegSz, text + '\0');
}

void SimRegistry::restrictAccess(platform::Handle root, const std::string& subkey,
                                 std::uint32_t granted) {
  ensureKey(root, subkey).granted = granted;
}

void SimRegistry::inject(RegistryFault fault, platform::Handle root, const std::string& subkey,
                         const std::string& name) {
  faults_.emplace(fault, idOf(root, subkey), upper(name));
}

bool SimRegistry::faulty(RegistryFault fault, const std::string& id, const char* name) const {
  return faults_.count({fault, id, upper(name)}) != 0;
}

bool SimRegistry::hasKey(platform::Handle root, const std::string& subkey) const {
  return findKey(idOf(root, subkey)) != nullptr;
}

bool SimRegistry::hasValue(platform::Handle root, const std::string& subkey,
                           const std::string& name) const {
  const Key* key = findKey(idOf(root, subkey));
  return key != nullptr && findValue(*key, name.c_str()) != nullptr;
}

const SimRegistry::Value* SimRegistry::findValue(const Key& key, const char* name) {
  for (const Value& value : key.values) {
    if (text::equalsIgnoringCase(value.name.c_str(), name)) return &value;
  }
  return nullptr;
}

std::string SimRegistry::dump() const {
  std::string text = "registry:\n";
  for (const auto& [id, key] : keys_) {
    text += "  " + key.path;
    if (key.granted != ~std::uint32_t{0}) text += " granted=" + hex(key.granted);
    text += "\n";
    for (const Value& value : key.values) {
      text += "    \"" + value.name + "\" type=" + std::to_string(value.type) +
              " size=" + std::to_string(value.bytes.size()) + "\n";
    }
  }
  return text;
}

bool SimRegistry::resolve(platform::Handle key, std::string& id, std::uint32_t& access) const {
  if (platform::rootName(key) != nullptr) {
    id = idOf(key, "");
    access = ~std::uint32_t{0};
    return true;
  }
  auto it = open_.find(key);
  if (it == open_.end()) return false;
  id = it->second.id;
  access = it->second.access;
  return true;
}

long SimRegistry::openKey(platform::Handle root, const char* subkey, std::uint32_t access,
                          platform::Handle& key) {
  std::string parentId;
  std::uint32_t parentAccess = 0;
  if (!resolve(root, parentId, parentAccess)) return platform::kErrorInvalidHandle;
  const std::uint32_t view = access & (platform::kKeyView64 | platform::kKeyView32);
  if (view != 0 && (!sixtyFourBit_ || view == (platform::kKeyView64 | platform::kKeyView32))) {
    return platform::kErrorInvalidParameter;
  }
  access &= ~view;
  std::string path = subkey != nullptr ? upper(subkey) : std::string();
  // The simulated program is a 64-bit one: its own view is the 64-bit one, and only the 32-bit
  // view leads elsewhere.
  const std::string software = "SOFTWARE\\";
  if (view == platform::kKeyView32 && root == platform::kRootLocalMachine &&
      path.compare(0, software.size(), software) == 0 &&
      path.compare(software.size(), 12, "WOW6432NODE\\") != 0) {
    path = software + "WOW6432NODE\\" + path.substr(software.size());
  }
  std::string id = parentId;
  if (!path.empty()) id += "\\" + path;
  const Key* found = findKey(id);
  if (found == nullptr) return platform::kErrorFileNotFound;
  if ((access & ~found->granted) != 0) return platform::kErrorAccessDenied;
  key = handles_.open("registry key " + found->path);
  open_.emplace(key, OpenKey{id, access});
  return platform::kErrorSuccess;
}

long SimRegistry::queryValue(platform::Handle handle, const char* name, std::uint32_t* type,
                             void* data, std::uint32_t* size) {
  std::string id;
  std::uint32_t access = 0;
  if (!resolve(handle, id, access)) return platform::kErrorInvalidHandle;
  if ((access & kKeyQueryValue) == 0) return platform::kErrorAccessDenied;
  if (data != nullptr && size == nullptr) return platform::kErrorInvalidParameter;
  const char* valueName = name != nullptr ? name : "";
  const Value* value = findValue(*findKey(id), valueName);
  if (value == nullptr) return platform::kErrorFileNotFound;
  if (faulty(RegistryFault::Query, id, valueName)) return platform::kErrorAccessDenied;

  std::uint32_t needed = static_cast<std::uint32_t>(value->bytes.size());
  if (type != nullptr) *type = value->type;
  if (data != nullptr && *size < needed) {
    *size = needed;
    return platform::kErrorMoreData;
  }
  if (data != nullptr) std::memcpy(data, value->bytes.data(), needed);
  if (size != nullptr) *size = needed;
  return platform::kErrorSuccess;
}

long SimRegistry::deleteValue(platform::Handle handle, const char* name) {
  std::string id;
  std::uint32_t access = 0;
  if (!resolve(handle, id, access)) return platform::kErrorInvalidHandle;
  if ((access & platform::kKeySetValue) == 0) return platform::kErrorAccessDenied;
  const char* valueName = name != nullptr ? name : "";
  Key& key = keys_.at(id);
  const Value* value = findValue(key, valueName);
  if (value == nullptr) return platform::kErrorFileNotFound;
  if (faulty(RegistryFault::Delete, id, valueName)) return platform::kErrorAccessDenied;
  key.values.erase(key.values.begin() + (value - key.values.data()));
  return platform::kErrorSuccess;
}

platform::RegistryViews SimRegistry::views() {
  platform::RegistryViews views;
  if (sixtyFourBit_) {
    views.access[0] = platform::kKeyView64;
    views.access[1] = platform::kKeyView32;
    views.count = 2;
  }
  return views;
}

long SimRegistry::closeKey(platform::Handle key) {
  if (platform::rootName(key) != nullptr) return platform::kErrorSuccess;
  if (open_.erase(key) == 0) return platform::kErrorInvalidHandle;
  handles_.close(key);
  return platform::kErrorSuccess;
}

}  // namespace sim
