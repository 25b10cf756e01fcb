#include "scan/directory_walker.h"

#include <cstring>

#include "common/bounded_text.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "scan/message_pump.h"
#include "scan/not_examined.h"
#include "scan/path_display.h"
#include "scan/scan_log.h"
#include "scan/scan_session.h"
#include "scan/worm_check_table.h"

namespace {

using platform::kMaxPath;
using platform::kPathBytes;

constexpr std::int16_t kStatusPathLength = 60;
// Work area for texts formed from a pattern, a name and a suffix: the first two are below
// kPathBytes, so the whole always fits here, and whether it fits a path buffer can be judged
// before it is used.
constexpr std::size_t kWorkBufferSize = 2 * kPathBytes + 8;

bool isDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool isDirectory(const platform::FindEntry& entry) {
  return (entry.attributes & platform::kAttributeDirectory) != 0;
}

// A name that, joined to its folder, would name something else: another folder's entry, or a
// stream of a file.
bool leadsElsewhere(const char* name) { return std::strpbrk(name, "\\/:") != nullptr; }

// The name by which a listed entry is reached from its folder: its own name when the system
// gave it exactly; else its short name (plain ASCII), where it has one; else none. A name
// outside the code page comes back as a look-alike ("..\x" for fullwidth dots and backslash)
// or with '?': joined as it is, it would lead to another file or to none.
const char* reachableName(const platform::FindEntry& entry) {
  if (entry.exactName && !leadsElsewhere(entry.fileName)) return entry.fileName;
  if (entry.alternateName[0] != '\0' && !leadsElsewhere(entry.alternateName)) {
    return entry.alternateName;
  }
  return nullptr;
}

// The folder part of a pattern: everything before the character that precedes its last '.'.
// For "C:\WINDOWS\*.*" that is "C:\WINDOWS\". Returns its length, or -1 without a '.'.
int folderPrefixLength(const char* pattern) {
  const char* dot = std::strrchr(pattern, '.');
  if (dot == nullptr) return -1;
  return dot == pattern ? 0 : static_cast<int>(dot - pattern) - 1;
}

// Joins the folder part of `pattern` with `name` and `suffix` into `out`. Returns false when
// the result would not fit a path buffer, or is too long for the system by its own measure:
// such a path is skipped, never cut, since a cut path could name another file.
bool joinPath(char (&out)[kWorkBufferSize], const char* pattern, int prefixLength, const char* name,
              const char* suffix) {
  std::memcpy(out, pattern, prefixLength);
  out[prefixLength] = '\0';
  text::append(out, name);
  text::append(out, suffix);
  return std::strlen(out) < kPathBytes && platform::files().pathLength(out) < kMaxPath;
}

// The short (8.3) name of a listed entry, where the system keeps one apart from its long name
// and it leads nowhere else; else null.
const char* shortNameOf(const platform::FindEntry& entry) {
  if (entry.alternateName[0] == '\0' || leadsElsewhere(entry.alternateName)) return nullptr;
  return entry.alternateName;
}

// Reaches an entry whose path does not fit a path buffer by its short form, as the system itself
// can start such a file: first its own short name in the folder as the pattern names it, then its
// name (short where it has one) in the folder's short path. True, with the path in `out`, when
// one of them fits; false, leaving `out` as it was, when the entry has no such path.
bool joinShortPath(char (&out)[kWorkBufferSize], const char* pattern, int prefixLength,
                   const platform::FindEntry& entry, const char* name, const char* suffix) {
  char candidate[kWorkBufferSize];
  const char* shortName = shortNameOf(entry);
  if (shortName != nullptr && joinPath(candidate, pattern, prefixLength, shortName, suffix)) {
    text::copy(out, candidate);
    return true;
  }
  // The folder, without the backslashes that end it (the temporary folder's pattern has two).
  char folder[kMaxPath];
  int folderLength = prefixLength;
  while (folderLength > 3 && pattern[folderLength - 1] == '\\') --folderLength;
  if (folderLength <= 0 || folderLength >= static_cast<int>(sizeof folder)) return false;
  std::memcpy(folder, pattern, folderLength);
  folder[folderLength] = '\0';
  char shortFolder[kMaxPath + 1];
  if (!platform::files().shortPathName(folder, shortFolder, kMaxPath) ||
      (shortFolder[0] != '\0' && shortFolder[std::strlen(shortFolder) - 1] != '\\' &&
       !text::append(shortFolder, "\\"))) {
    return false;
  }
  if (!joinPath(candidate, shortFolder, static_cast<int>(std::strlen(shortFolder)),
                shortName != nullptr ? shortName : name, suffix)) {
    return false;
  }
  text::copy(out, candidate);
  return true;
}

void showEntryOnStatusLine(const char* fullPath) {
  char shortened[kWorkBufferSize] = {};
  shortenPathForDisplay(fullPath, shortened, sizeof shortened, kStatusPathLength);
  showPassingStatus(shortened);
}

void offerToChecks(const char* path) {
  for (const WormCheck* check = WormCheckTable; check->name != nullptr; ++check) {
    if (check->check(check->name, path) != 0) break;
  }
}

// A drive root's walk notes the drive's Program Files folder, so that the driver can walk it
// afterwards if the drive walk did not reach it.
void noteProgramFilesOfDriveRoot(const char* pattern) {
  ScanSession& session = scanSession();
  text::copy(session.programFilesPath, pattern);
  char* colon = std::strchr(session.programFilesPath, ':');
  if (colon == nullptr) return;
  colon[1] = '\0';
  text::append(session.programFilesPath, "\\Program Files");
  if (!platform::files().exists(session.programFilesPath)) return;
  session.programFilesPending = 1;
  text::append(session.programFilesPath, "\\*.*");
}

bool isLink(const platform::FindEntry& entry) {
  return (entry.attributes & platform::kAttributeReparsePoint) != 0;
}

// A folder that could not be listed, named by its pattern's folder part. A search that matched
// nothing is an empty folder, not a failure.
void noteUnlistedFolder(const char* pattern) {
  platform::OpenFailure failure = platform::files().lastOpenFailure();
  if (failure == platform::OpenFailure::kNotFound) return;
  char folder[kWorkBufferSize];
  text::copy(folder, pattern);
  char* last = std::strrchr(folder, '\\');
  if (last != nullptr) *last = '\0';
  noteNotExamined(folder, "the folder cannot be listed");
}

bool pumpAndCheckTerminated() {
  pumpScanMessages();
  return scanSession().scanTerminated == 1;
}

enum class PassEnd { Completed, Terminated, PatternError };

PassEnd walkFiles(const char* pattern) {
  ScanSession& session = scanSession();
  platform::FindEntry entry;
  platform::ScopedSearch search(platform::files().findFirst(pattern, entry));
  if (!search) {
    noteUnlistedFolder(pattern);
    return PassEnd::Completed;
  }
  do {
    if (pumpAndCheckTerminated()) return PassEnd::Terminated;

    char fullPath[kWorkBufferSize] = {};
    const char* name = reachableName(entry);
    int prefixLength = folderPrefixLength(pattern);
    if (prefixLength < 0) return PassEnd::PatternError;
    bool pathFits =
        joinPath(fullPath, pattern, prefixLength, name != nullptr ? name : entry.fileName, "");
    if (!pathFits && name != nullptr && !isDirectory(entry)) {
      pathFits = joinShortPath(fullPath, pattern, prefixLength, entry, name, "");
    }
    showEntryOnStatusLine(fullPath);

    if (!isDirectory(entry) && !pathFits) {
      noteNotExamined(fullPath, "its path is too long");
    } else if (!isDirectory(entry)) {
      ++session.statistics.filesScanned;
      // A file that no name reaches is counted and shown, never examined under a name that
      // leads elsewhere; nor is a link or reparse point, which is not acted on through its name.
      if (name == nullptr) {
        noteNotExamined(fullPath, "no name of it can be reached from its folder");
      } else if (isLink(entry)) {
        noteNotExamined(fullPath, "a link or reparse point, not followed");
      } else {
        offerToChecks(fullPath);
      }
    }

    if (pumpAndCheckTerminated()) return PassEnd::Terminated;
  } while (platform::files().findNext(search.get(), entry));
  return PassEnd::Completed;
}

// The subfolder pass searches the pattern with everything after its last '.' replaced by "*",
// so that a file pattern's extension matches anything and "*.*" stays as it is.
void subfolderPassPattern(const char* pattern, char (&out)[kWorkBufferSize]) {
  text::copy(out, pattern);
  char* dot = std::strrchr(out, '.');
  if (dot != nullptr) dot[1] = '\0';
  text::append(out, "*");
}

}  // namespace

int examineFile(const char* path) {
  ScanSession& session = scanSession();
  session.wormFileConfirmed = 0;
  // A wildcard would make the search below a pattern search.
  if (std::strpbrk(path, "*?") != nullptr) return 0;
  platform::FindEntry entry;
  platform::ScopedSearch search(platform::files().findFirst(path, entry));
  if (!search) return 0;
  if (pumpAndCheckTerminated()) return 0;
  showEntryOnStatusLine(path);
  if (!isDirectory(entry)) offerToChecks(path);
  if (pumpAndCheckTerminated()) return 0;
  return session.statistics.filesScanned;
}

int walkDirectory(const char* pattern) {
  ScanSession& session = scanSession();
  session.wormFileConfirmed = 0;

  if (std::strlen(pattern) <= 6) noteProgramFilesOfDriveRoot(pattern);

  switch (walkFiles(pattern)) {
    case PassEnd::Terminated:
      return 0;
    case PassEnd::PatternError:
      return kWalkPatternError;
    case PassEnd::Completed:
      break;
  }

  char passPattern[kWorkBufferSize];
  subfolderPassPattern(pattern, passPattern);
  platform::FindEntry entry;
  platform::ScopedSearch search(platform::files().findFirst(passPattern, entry));
  if (!search) return session.statistics.filesScanned;
  do {
    if (pumpAndCheckTerminated()) return 0;
    if (!isDirectory(entry) || isDotEntry(entry.fileName)) continue;
    int prefixLength = folderPrefixLength(pattern);
    if (prefixLength < 0) return kWalkPatternError;
    // A junction or symbolic link can lead outside the scan's scope or back into itself.
    const char* name = reachableName(entry);
    char nextPattern[kWorkBufferSize];
    bool fits =
        joinPath(nextPattern, pattern, prefixLength, name != nullptr ? name : entry.fileName, "");
    if (name == nullptr) {
      noteNotExamined(nextPattern, "no name of the folder can be reached from its parent");
      continue;
    }
    if (isLink(entry)) {
      noteNotExamined(nextPattern, "a junction or folder link, not followed");
      continue;
    }
    if ((!fits || !joinPath(nextPattern, pattern, prefixLength, name, "\\*.*")) &&
        !joinShortPath(nextPattern, pattern, prefixLength, entry, name, "\\*.*")) {
      noteNotExamined(nextPattern, "its path is too long");
      continue;
    }
    if (std::strstr(nextPattern, "\\Program Files\\") != nullptr) session.programFilesWalked = 1;
    if (walkDirectory(nextPattern) == kWalkPatternError) return kWalkPatternError;
  } while (platform::files().findNext(search.get(), entry));
  return session.statistics.filesScanned;
}
