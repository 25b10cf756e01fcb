#include "system/process_backends.h"

#include "common/bounded_text.h"
#include "platform/file_system.h"
#include "platform/processes.h"

namespace {

bool queryVersion(platform::VersionInfo& version) {
  return platform::processes().queryVersion(version);
}

}  // namespace

int getPlatformClass() {
  platform::VersionInfo version;
  if (!queryVersion(version)) return kPlatformUnknown;
  switch (version.platformId) {
    case platform::kPlatformIdWindows:
      return kPlatformWindows9x;
    case platform::kPlatformIdNt:
      return kPlatformNt;
    default:
      return kPlatformOther;
  }
}

int getNtGeneration() {
  platform::VersionInfo version;
  if (!queryVersion(version) || version.platformId != platform::kPlatformIdNt) return 0;
  if (version.majorVersion <= 4) return 5;
  if (version.majorVersion == 5) return 6;
  return 0;
}

bool isOnFixedDrive(const char* path) {
  if (!(text::isAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\')) {
    return false;
  }
  const char root[] = {path[0], ':', '\\', '\0'};
  return platform::files().driveType(root) == platform::kDriveFixed;
}

int terminateProcessByFileName(const char* path, const platform::FileIdentity* identity) {
  switch (getPlatformClass()) {
    case kPlatformWindows9x:
      return terminateByNameToolhelp(path) != 0 ? 1 : 0;
    case kPlatformNt:
      // Without the file's identity no process can be confirmed to run it.
      return identity != nullptr && terminateByNamePerfData(path, *identity) != 0 ? 1 : 0;
    // Without a way to look, the caller simply tries its deletion again.
    default:
      return 1;
  }
}
