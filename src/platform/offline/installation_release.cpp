#include "platform/offline/installation_release.h"

#include <cstdio>

#include "platform/opened_key.h"
#include "platform/product_suite.h"

namespace platform::offline {
namespace {

constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion";

// "5.1" as major 5, minor 1: digits, one dot, digits, nothing else.
bool parseVersion(const char* text, std::uint32_t& major, std::uint32_t& minor) {
  std::uint32_t parts[2] = {0, 0};
  int part = 0;
  int digits = 0;
  for (const char* c = text;; ++c) {
    if (*c >= '0' && *c <= '9') {
      if (++digits > 4) return false;
      parts[part] = parts[part] * 10 + static_cast<std::uint32_t>(*c - '0');
    } else if ((*c == '.' && part == 0) || *c == '\0') {
      if (digits == 0) return false;
      if (*c == '\0') break;
      part = 1;
      digits = 0;
    } else {
      return false;
    }
  }
  if (part != 1) return false;
  major = parts[0];
  minor = parts[1];
  return true;
}

// The product suite of the control set in use; unknown when the SYSTEM hive does not say which
// that is.
TerminalServer terminalServerOf(Registry& registry) {
  std::uint32_t current = 0;
  {
    OpenedKey select(registry, "System\\Select");
    if (!select.opened() || select.readDword("Current", current) != kErrorSuccess) {
      return TerminalServer::kUnknown;
    }
  }
  if (current == 0 || current > 999) return TerminalServer::kUnknown;
  char key[64];
  std::snprintf(key, sizeof key, "System\\ControlSet%03u\\Control\\ProductOptions", current);
  return readTerminalServer(registry, key);
}

}  // namespace

bool readInstallationRelease(Registry& registry, InstallationKind kind, ReleaseInfo& release) {
  release = ReleaseInfo();
  if (kind == InstallationKind::kWindows9x) {
    release.version.platformId = kPlatformIdWindows;
    release.terminalServer = TerminalServer::kNo;
    return true;
  }
  if (kind != InstallationKind::kNtFamily) return false;

  OpenedKey currentVersion(registry, kCurrentVersionKey);
  if (!currentVersion.opened()) return false;
  char version[16];
  if (currentVersion.readString("CurrentVersion", version, sizeof version) != kErrorSuccess ||
      !parseVersion(version, release.version.majorVersion, release.version.minorVersion)) {
    return false;
  }
  release.version.platformId = kPlatformIdNt;
  long servicePack =
      currentVersion.readString("CSDVersion", release.servicePack, sizeof release.servicePack);
  if (servicePack == kErrorFileNotFound) {
    release.servicePack[0] = '\0';
  } else if (servicePack != kErrorSuccess) {
    return false;
  }
  release.terminalServer = terminalServerOf(registry);
  return true;
}

}  // namespace platform::offline
