// Arranging the deletion of a file at the next start of the system.
#include <cstring>
#include <vector>

#include "common/bounded_text.h"
#include "engine/file_remedy.h"
#include "platform/file_system.h"
#include "system/process_backends.h"

namespace {

// Large enough for any [rename] section the system processes at start.
constexpr std::size_t kRenameSectionCapacity = 32 * 1024;

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

  std::vector<char> section(kRenameSectionCapacity, '\0');
  std::size_t used = 0;
  if (!files.readProfileSection(wininit, "rename", section.data(), section.size(), used)) return 0;
  std::size_t entryLength = std::strlen(entry);
  // The lines, the new one, its terminator and the list's final terminator.
  if (used + entryLength + 2 > section.size()) return 0;
  std::memcpy(section.data() + used, entry, entryLength + 1);
  section[used + entryLength + 1] = '\0';
  return files.writeProfileSection(wininit, "rename", section.data()) ? 1 : 0;
}

}  // namespace

int scheduleRemovalAtRestart(const char* path) {
  switch (getPlatformClass()) {
    case kPlatformWindows9x:
      return scheduleInWininit(path);
    case kPlatformNt:
      return platform::files().deleteAtRestart(path) ? 1 : 0;
    default:
      return 0;
  }
}
