#include "platform/offline/short_name.h"

#include <sys/xattr.h>

#include <cstring>

#include "common/bounded_text.h"

namespace platform::offline {
namespace {

ShortNameReader installedReader = readNtfsShortName;

// What a folder entry may be called: ntfs-3g answers with the name as the volume holds it, and
// the volume is the attacker's.
bool canBeEntryName(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || *c == '/' || *c == '\\') return false;
  }
  return true;
}

}  // namespace

bool readNtfsShortName(int fd, char (&buffer)[kShortNameCapacity]) {
  buffer[0] = '\0';
  ssize_t got = fgetxattr(fd, "system.ntfs_dos_name", buffer, sizeof buffer - 1);
  if (got <= 0) {
    buffer[0] = '\0';
    return false;
  }
  buffer[got] = '\0';
  if (std::strlen(buffer) != static_cast<std::size_t>(got) || !canBeEntryName(buffer)) {
    buffer[0] = '\0';
    return false;
  }
  return true;
}

ShortNameReader installShortNameReader(ShortNameReader reader) {
  ShortNameReader previous = installedReader;
  installedReader = reader;
  return previous;
}

ShortNameReader shortNameReader() { return installedReader; }

nlink_t namesOf(int fd, nlink_t links, const char* openedName,
                char (&shortName)[kShortNameCapacity]) {
  shortName[0] = '\0';
  // Only the pair of a long name and its short form; a third link is another name whatever the
  // short form (and ntfs-3g then refuses to tell it).
  if (links != 2 || openedName == nullptr || openedName[0] == '\0') return links;
  char found[kShortNameCapacity];
  if (!installedReader(fd, found)) return links;
  // Already 8.3: the name is its own short form, one entry, and the second link another name.
  if (text::equalsIgnoringCase(found, openedName)) return links;
  text::copy(shortName, found);
  return 1;
}

}  // namespace platform::offline
