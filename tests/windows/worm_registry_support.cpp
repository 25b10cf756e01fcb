#include "windows/worm_registry_support.h"

#include <windows.h>

#include <algorithm>

namespace wintest {
namespace {

const std::string kWormData = R"(C:\windows\system32\msblast.exe)";

// The seam's roots carry the predefined keys' own values.
HKEY toKey(platform::Handle root) { return reinterpret_cast<HKEY>(root); }

const char* rootName(platform::Handle root) {
  if (root == platform::kRootLocalMachine) return "HKLM";
  if (root == platform::kRootCurrentUser) return "HKCU";
  return "HKU";
}

}  // namespace

bool valueExists(const footprint::RegistryEntry& entry) {
  HKEY key;
  if (RegOpenKeyExA(toKey(entry.root), entry.subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  LONG result = RegQueryValueExA(key, entry.name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

std::string describe(const footprint::RegistryEntry& entry) {
  return std::string(rootName(entry.root)) + "\\" + entry.subkey + " \"" + entry.name + "\"";
}

std::string cleanupMistakes() {
  std::string mistakes;
  for (const auto& entry : footprint::wormValues()) {
    if (valueExists(entry)) mistakes += "still there: " + describe(entry) + "\n";
  }
  for (const auto& entry : footprint::decoyValues()) {
    if (!valueExists(entry)) mistakes += "decoy gone: " + describe(entry) + "\n";
  }
  for (const std::string& name : footprint::wormServiceNames()) {
    if (!serviceGoes(name)) mistakes += "still there: service " + name + "\n";
  }
  if (!serviceExists(footprint::kDecoyService)) {
    mistakes += std::string("decoy gone: service ") + footprint::kDecoyService + "\n";
  }
  return mistakes;
}

void PlantedWorm::plant(const footprint::RegistryEntry& entry) {
  HKEY key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(toKey(entry.root), entry.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS) {
    failure_ += "cannot create " + describe(entry) + "\n";
    return;
  }
  if (disposition == REG_CREATED_NEW_KEY) madeKeys_.emplace_back(entry.root, entry.subkey);
  LONG result = RegSetValueExA(key, entry.name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(kWormData.c_str()),
                               static_cast<DWORD>(kWormData.size() + 1));
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) failure_ += "cannot write " + describe(entry) + "\n";
}

PlantedWorm::PlantedWorm() {
  for (const auto& entry : footprint::wormValues()) plant(entry);
  for (const auto& entry : footprint::decoyValues()) plant(entry);
  for (const std::string& name : footprint::wormServiceNames()) {
    bool running = name == "RpcPatch";
    std::string binaryPath = running ? testServiceCommand("--stop-delay 1500")
                                     : R"(C:\windows\system32\)" + name + ".exe";
    services_.push_back(std::make_unique<TestService>(name, binaryPath));
    if (!services_.back()->created()) failure_ += "cannot create service " + name + "\n";
    if (running && !services_.back()->start()) failure_ += "cannot start service " + name + "\n";
  }
  services_.push_back(
      std::make_unique<TestService>(footprint::kDecoyService, R"(C:\windows\system32\helper.exe)"));
  if (!services_.back()->created()) failure_ += "cannot create the decoy service\n";
}

PlantedWorm::~PlantedWorm() {
  for (const auto* list : {&footprint::wormValues(), &footprint::decoyValues()}) {
    for (const auto& entry : *list) {
      HKEY key;
      if (RegOpenKeyExA(toKey(entry.root), entry.subkey.c_str(), 0, KEY_ALL_ACCESS, &key) ==
          ERROR_SUCCESS) {
        RegDeleteValueA(key, entry.name.c_str());
        RegCloseKey(key);
      }
    }
  }
  std::reverse(madeKeys_.begin(), madeKeys_.end());
  for (const auto& [root, subkey] : madeKeys_) RegDeleteKeyA(toKey(root), subkey.c_str());
}

}  // namespace wintest
