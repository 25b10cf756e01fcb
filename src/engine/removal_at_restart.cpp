// Arranging the deletion of a file at the next start of the system.
#include <cstring>

#include "common/bounded_text.h"
#include "common/heap_array.h"
#include "engine/file_remedy.h"
#include "engine/worm_file.h"
#include "platform/file_system.h"
#include "system/process_backends.h"

namespace {

// Large enough for any [rename] section the system processes at start.
constexpr std::size_t kRenameSectionCapacity = 32 * 1024;
// Folders of earlier runs may still wait for their restart; the next free number is taken.
constexpr int kMostProtectedFolders = 100;

// The upper-case letter of the drive a path begins with, or 0.
char driveOf(const char* path) {
  bool drive = text::isAsciiLetter(path[0]) && path[1] == ':';
  return drive ? text::upperAscii(path[0]) : '\0';
}

// Whether a folder made in `parent` stays where it is made until the restart. Anyone who may
// delete entries of the parent (or give themselves that right) can rename the new folder away,
// whatever its own access list says, and leave a junction of its name leading elsewhere; the
// restart would then delete through it. Only where the parent leaves that to the administrators
// and the system is the folder used. A volume without access lists (FAT) has no junctions and
// lets every user change every file on it anyway: there the folder is used as it is.
// What may be done to the parent itself does not matter here: it is either a volume's root,
// which cannot be renamed, or the running system's Windows folder, which cannot be renamed while
// files beneath it are open.
bool keepsItsEntriesFromOthers(const char* parent) {
  switch (platform::files().entryRemoval(parent)) {
    case platform::EntryRemoval::kAdministratorsOnly:
    case platform::EntryRemoval::kNoAccessLists:
      return true;
    case platform::EntryRemoval::kOthers:
    case platform::EntryRemoval::kUnknown:
      break;
  }
  return false;
}

// A new folder that only administrators may change, on the volume of `path`: under the Windows
// folder when the file lies on its drive, else at the root of the file's own drive (the only
// folder every volume has whose access list the system set), and only where no one else may
// rename it. False, with `folder` empty, when the file lies on no drive or no such folder can be
// made.
bool makeProtectedFolderFor(const char* path, char (&folder)[platform::kMaxPath]) {
  folder[0] = '\0';
  char base[platform::kMaxPath];
  char parent[platform::kMaxPath];
  char drive = driveOf(path);
  if (drive == '\0' || path[2] != '\\' || !platform::files().windowsDirectory(base, sizeof base)) {
    return false;
  }
  // A drive's root is named with its backslash: "D:" alone is the current folder of drive D.
  if (driveOf(base) != drive) text::format(base, sizeof base, "%c:", drive);
  if (!text::format(parent, sizeof parent, base[2] == '\0' ? "%s\\" : "%s", base) ||
      !keepsItsEntriesFromOthers(parent)) {
    return false;
  }
  for (int number = 1; number <= kMostProtectedFolders; ++number) {
    if (text::format(folder, sizeof folder, "%s\\Vandrel removal %d", base, number) &&
        platform::files().createProtectedFolder(folder)) {
      return true;
    }
  }
  folder[0] = '\0';
  return false;
}

// Moves the verified file, through its handle, into a folder of its own that nobody but the
// administrators can change, and schedules that name, then the folder. Another user can swap a
// folder of the original path for a link the moment the scan is done; the name scheduled here
// leads to nothing else.
int scheduleThroughProtectedFolder(WormFile& file) {
  if (!file.removable()) return 0;
  char folder[platform::kMaxPath];
  char target[platform::kMaxPath];
  if (!makeProtectedFolderFor(file.path(), folder) ||
      !text::format(target, sizeof target, "%s\\%s", folder, text::fileNamePart(file.path())) ||
      !platform::files().moveOpenFile(file.handle(), target) ||
      !platform::files().deleteAtRestart(target)) {
    return 0;
  }
  // The emptied folder goes after its file; should that fail, an empty folder stays.
  platform::files().deleteAtRestart(folder);
  return 1;
}

}  // namespace

// The 95/98/Me family deletes at start every file named by a "nul=<short path>" line of the
// [rename] section of Wininit.ini. Each file gets a line of its own: the section is read,
// the line appended, and the section written back, so that earlier lines stay.
int scheduleInWininit(const char* path) {
  platform::FileSystem& files = platform::files();
  char wininit[platform::kMaxPath];
  char shortPath[platform::kMaxPath];
  if (!files.windowsDirectory(wininit, sizeof wininit) || !text::append(wininit, "\\Wininit.ini") ||
      !files.shortPathName(path, shortPath, sizeof shortPath)) {
    return 0;
  }
  char entry[platform::kMaxPath + 8];
  if (!text::format(entry, sizeof entry, "nul=%s", shortPath)) return 0;

  HeapArray<char> section(kRenameSectionCapacity);
  if (!section) return 0;
  std::size_t used = 0;
  if (!files.readProfileSection(wininit, "rename", section.data(), section.size(), used)) return 0;
  std::size_t entryLength = std::strlen(entry);
  // The lines, the new one, its terminator and the list's final terminator.
  if (used + entryLength + 2 > section.size()) return 0;
  std::memcpy(section.data() + used, entry, entryLength + 1);
  section[used + entryLength + 1] = '\0';
  return files.writeProfileSection(wininit, "rename", section.data()) ? 1 : 0;
}

int scheduleRemovalAtRestart(WormFile& file) {
  switch (getPlatformClass()) {
    case kPlatformWindows9x:
      return scheduleInWininit(file.path());
    case kPlatformNt:
      return scheduleThroughProtectedFolder(file);
    default:
      return 0;
  }
}
