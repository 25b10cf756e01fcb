#include "windows/worm_registry_support.h"

#include <algorithm>

namespace wintest {
namespace {

const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const std::string kRunServices = R"(Software\Microsoft\Windows\CurrentVersion\RunServices)";
const std::string kRunon = R"(Software\Microsoft\Windows\CurrentVersion\Runon)";
const std::string kRunOnce = R"(Software\Microsoft\Windows\CurrentVersion\RunOnce)";
const std::string kDefault = ".Default\\";
const std::string kWormData = R"(C:\windows\system32\msblast.exe)";

const char* rootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "HKLM";
  if (root == HKEY_CURRENT_USER) return "HKCU";
  return "HKU";
}

}  // namespace

const std::vector<RegistryEntry>& wormValues() {
  static const std::vector<RegistryEntry> values = {
      {HKEY_LOCAL_MACHINE, kRun, "windows auto update"},
      {HKEY_CURRENT_USER, kRun, "windows auto update"},
      {HKEY_USERS, kDefault + kRun, "windows auto update"},
      {HKEY_LOCAL_MACHINE, kRun, "Microsoft Inet Xp.."},
      {HKEY_CURRENT_USER, kRun, "Microsoft Inet Xp.."},
      {HKEY_USERS, kDefault + kRun, "Microsoft Inet Xp.."},
      {HKEY_LOCAL_MACHINE, kRun, "Windows Root Account"},
      {HKEY_LOCAL_MACHINE, kRunServices, "Windows Root Account"},
      {HKEY_LOCAL_MACHINE, kRunon, "Nonton Antivirus   "},
      {HKEY_CURRENT_USER, kRunon, "Nonton Antivirus   "},
      {HKEY_USERS, kDefault + kRunon, "Nonton Antivirus   "},
  };
  return values;
}

const std::vector<RegistryEntry>& decoyValues() {
  static const std::vector<RegistryEntry> values = {
      {HKEY_LOCAL_MACHINE, kRunon, "Nonton Antivirus"},
      {HKEY_CURRENT_USER, kRunon, "Nonton Antivirus"},
      {HKEY_USERS, kDefault + kRunon, "Nonton Antivirus"},
      {HKEY_LOCAL_MACHINE, kRunOnce, "Nonton Antivirus   "},
      {HKEY_CURRENT_USER, kRunOnce, "windows auto update"},
      {HKEY_USERS, kDefault + kRunOnce, "Microsoft Inet Xp.."},
      {HKEY_LOCAL_MACHINE, kRunOnce, "Windows Root Account"},
  };
  return values;
}

const std::vector<std::string>& wormServiceNames() {
  static const std::vector<std::string> names = {"RpcTftpd", "RpcPatch", "WksPatch"};
  return names;
}

bool valueExists(const RegistryEntry& entry) {
  HKEY key;
  if (RegOpenKeyExA(entry.root, entry.subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LONG result = RegQueryValueExA(key, entry.name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

std::string describe(const RegistryEntry& entry) {
  return std::string(rootName(entry.root)) + "\\" + entry.subkey + " \"" + entry.name + "\"";
}

void PlantedWorm::plant(const RegistryEntry& entry) {
  HKEY key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(entry.root, entry.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS) {
    failure_ += "cannot create " + describe(entry) + "\n";
    return;
  }
  std::pair<HKEY, std::string> made(entry.root, entry.subkey);
  if (disposition == REG_CREATED_NEW_KEY) madeKeys_.push_back(made);
  LONG result = RegSetValueExA(key, entry.name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(kWormData.c_str()),
                               static_cast<DWORD>(kWormData.size() + 1));
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) failure_ += "cannot write " + describe(entry) + "\n";
}

PlantedWorm::PlantedWorm() {
  for (const RegistryEntry& entry : wormValues()) plant(entry);
  for (const RegistryEntry& entry : decoyValues()) plant(entry);
  for (const std::string& name : wormServiceNames()) {
    bool running = name == "RpcPatch";
    std::string binaryPath = running ? testServiceCommand("--stop-delay 1500")
                                     : R"(C:\windows\system32\)" + name + ".exe";
    services_.push_back(std::make_unique<TestService>(name, binaryPath));
    if (!services_.back()->created()) failure_ += "cannot create service " + name + "\n";
    if (running && !services_.back()->start()) failure_ += "cannot start service " + name + "\n";
  }
  services_.push_back(std::make_unique<TestService>(kDecoyService, R"(C:\windows\system32\helper.exe)"));
  if (!services_.back()->created()) failure_ += "cannot create the decoy service\n";
}

PlantedWorm::~PlantedWorm() {
  for (const auto* list : {&wormValues(), &decoyValues()}) {
    for (const RegistryEntry& entry : *list) {
      HKEY key;
      if (RegOpenKeyExA(entry.root, entry.subkey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, entry.name.c_str());
        RegCloseKey(key);
      }
    }
  }
  std::reverse(madeKeys_.begin(), madeKeys_.end());
  for (const auto& [root, subkey] : madeKeys_) RegDeleteKeyA(root, subkey.c_str());
}

}  // namespace wintest
