#include "system/reinfection_verdict.h"

#include "common/bounded_text.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace {

using platform::TerminalServer;

// The versions of rpcrt4.dll from which a release is fixed. Where the release is not known
// exactly, `lowest` and `highest` span its candidates: a file below `lowest` lacks the fix
// whichever the release is, one at or above `highest` has it, and one between cannot tell.
struct FixLine {
  FileVersion lowest;
  FileVersion highest;
  bool servicePackIncludesFix = false;
};

FixLine exactly(FileVersion version) { return {version, version, false}; }

// The releases the bulletins name, by version, service pack and edition. False for a release of
// the NT family that they do not cover.
bool fixLineOf(const platform::VersionInfo& version, int servicePack, TerminalServer terminalServer,
               FixLine& line) {
  const FileVersion nt4 = fileVersion(4, 0, 1381, 7219);
  const FileVersion nt4TerminalServer = fileVersion(4, 0, 1381, 33474);
  const FileVersion xp = fileVersion(5, 1, 2600, 109);
  const FileVersion xpServicePack1 = fileVersion(5, 1, 2600, 1230);
  const FileVersion server2003 = fileVersion(5, 2, 3790, 59);

  if (version.minorVersion > 0xFF) return false;
  std::uint32_t release = version.majorVersion << 8 | version.minorVersion;
  switch (release) {
    case 0x400:
      if (terminalServer == TerminalServer::kNo) line = exactly(nt4);
      if (terminalServer == TerminalServer::kYes) line = exactly(nt4TerminalServer);
      if (terminalServer == TerminalServer::kUnknown) line = {nt4, nt4TerminalServer, false};
      return true;
    case 0x500:
      line = exactly(fileVersion(5, 0, 2195, 6753));
      return true;
    case 0x501:
      // Service Pack 2 and later include the fix; their files are later than the first one's.
      if (servicePack == 0) line = exactly(xp);
      if (servicePack >= 1) line = exactly(xpServicePack1);
      if (servicePack < 0) line = {xp, xpServicePack1, false};
      line.servicePackIncludesFix = servicePack >= 2;
      return true;
    case 0x502:
      // Service Pack 1 and later include the fix.
      line = exactly(server2003);
      line.servicePackIncludesFix = servicePack >= 1;
      return true;
    default:
      return false;
  }
}

// The keys that the fix, MS03-039's fix, and the later updates that include them leave: the
// knowledge-base numbers, under each release's own folder of updates.
const char* const kFixNumbers[] = {"823980", "824146", "828741", "873333", "902400", "913580"};

struct UpdateFolder {
  std::uint32_t release;  // major << 8 | minor
  const char* path;       // below HKEY_LOCAL_MACHINE; the number follows
};

const UpdateFolder kUpdateFolders[] = {
    {0x400, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\KB"},
    {0x400, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q"},
    {0x500, "SOFTWARE\\Microsoft\\Updates\\Windows 2000\\SP5\\KB"},
    {0x501, "SOFTWARE\\Microsoft\\Updates\\Windows XP\\SP1\\KB"},
    {0x501, "SOFTWARE\\Microsoft\\Updates\\Windows XP\\SP2\\KB"},
    // The bulletin's own spelling, and the one later updates use.
    {0x502, "SOFTWARE\\Microsoft\\Updates\\Window Server 2003\\SP1\\KB"},
    {0x502, "SOFTWARE\\Microsoft\\Updates\\Windows Server 2003\\SP1\\KB"},
};

// Windows 2000's Update Rollup 1 holds every security update up to its release.
const char kWindows2000Rollup[] =
    "SOFTWARE\\Microsoft\\Updates\\Windows 2000\\SP5\\Update Rollup 1";

bool keyExists(const char* path) {
  platform::Handle opened = platform::kNoHandle;
  if (platform::registry().openKey(platform::kRootLocalMachine, path, platform::kKeyRead, opened) !=
      platform::kErrorSuccess) {
    return false;
  }
  platform::ScopedKey key(opened);
  return true;
}

// The first key of the release's fix found; false when none is.
bool findHotfixKey(std::uint32_t release, char (&found)[platform::kMaxPath]) {
  for (const UpdateFolder& folder : kUpdateFolders) {
    if (folder.release != release) continue;
    for (const char* number : kFixNumbers) {
      char path[platform::kMaxPath];
      if (text::copy(path, folder.path) && text::append(path, number) && keyExists(path)) {
        return text::copy(found, path);
      }
    }
  }
  return release == 0x500 && keyExists(kWindows2000Rollup) && text::copy(found, kWindows2000Rollup);
}

// Reads the file version of rpcrt4.dll in the system folder into `verdict`.
void readRpcRuntimeVersion(ReinfectionVerdict& verdict) {
  char path[platform::kMaxPath];
  if (!platform::files().systemDirectory(path, sizeof path) ||
      !text::append(path, "\\rpcrt4.dll")) {
    return;
  }
  text::copy(verdict.rpcRuntimePath, path);
  platform::ScopedFile file(platform::files().openForReading(path));
  if (!file) return;
  verdict.fileVersionRead = readFileVersion(file.get(), verdict.fileVersion);
}

ReinfectionVerdict& decided(ReinfectionVerdict& verdict, Reinfection outcome,
                            ReinfectionBasis basis) {
  verdict.verdict = outcome;
  verdict.basis = basis;
  return verdict;
}

}  // namespace

int servicePackNumber(const char* name) {
  if (name[0] == '\0') return 0;
  const char* digits = name;
  // A shorter name differs at its end, so no character past it is looked at.
  for (const char* prefix = "Service Pack "; *prefix != '\0'; ++prefix, ++digits) {
    if (*digits != *prefix) return -1;
  }
  int number = 0;
  int count = 0;
  for (; *digits >= '0' && *digits <= '9'; ++digits) {
    if (++count > 2) return -1;
    number = number * 10 + (*digits - '0');
  }
  return count > 0 ? number : -1;
}

ReinfectionVerdict judgeReinfection() {
  ReinfectionVerdict verdict;
  if (!platform::processes().queryRelease(verdict.release)) return verdict;
  verdict.releaseKnown = true;
  const platform::VersionInfo& version = verdict.release.version;
  if (version.platformId == platform::kPlatformIdWindows ||
      (version.platformId == platform::kPlatformIdNt && version.majorVersion >= 6)) {
    return decided(verdict, Reinfection::kNotAffected, ReinfectionBasis::kSystemVersion);
  }
  verdict.servicePack = servicePackNumber(verdict.release.servicePack);
  FixLine line;
  if (version.platformId != platform::kPlatformIdNt ||
      !fixLineOf(version, verdict.servicePack, verdict.release.terminalServer, line)) {
    return verdict;
  }
  verdict.hasFirstFixed = true;
  verdict.firstFixed = line.highest;

  // The file decides wherever it can; a release whose service pack includes the fix, and the
  // keys of the fix, speak only where it cannot.
  readRpcRuntimeVersion(verdict);
  if (verdict.fileVersionRead && atLeast(verdict.fileVersion, line.highest)) {
    return decided(verdict, Reinfection::kFixed, ReinfectionBasis::kFileVersion);
  }
  if (verdict.fileVersionRead && !atLeast(verdict.fileVersion, line.lowest)) {
    return decided(verdict, Reinfection::kMissing, ReinfectionBasis::kFileVersion);
  }
  if (line.servicePackIncludesFix) {
    return decided(verdict, Reinfection::kFixed, ReinfectionBasis::kServicePack);
  }
  std::uint32_t release = version.majorVersion << 8 | version.minorVersion;
  if (findHotfixKey(release, verdict.hotfixKey)) {
    return decided(verdict, Reinfection::kFixed, ReinfectionBasis::kHotfixKey);
  }
  return verdict;
}

const char* reinfectionName(Reinfection verdict) {
  switch (verdict) {
    case Reinfection::kFixed:
      return "fixed";
    case Reinfection::kMissing:
      return "missing";
    case Reinfection::kNotAffected:
      return "notAffected";
    case Reinfection::kUnknown:
      break;
  }
  return "unknown";
}

const char* reinfectionBasisName(ReinfectionBasis basis) {
  switch (basis) {
    case ReinfectionBasis::kSystemVersion:
      return "systemVersion";
    case ReinfectionBasis::kFileVersion:
      return "fileVersion";
    case ReinfectionBasis::kServicePack:
      return "servicePack";
    case ReinfectionBasis::kHotfixKey:
      return "hotfixKey";
    case ReinfectionBasis::kNothing:
      break;
  }
  return "nothing";
}
