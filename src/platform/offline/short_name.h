// NTFS gives most long names a short (8.3) form, and keeps it as a file-name entry of its own:
// on an ntfs-3g mount a file called "windowsupdate.exe" with the short name "WINDOW~1.EXE" has
// two links, although Windows counts one name. ntfs-3g tells the short form of the name a file
// was opened by through the extended attribute "system.ntfs_dos_name", and only while the file
// has no other link; removing the long name removes its short form with it.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform::offline {

// An 8.3 name in UTF-8 (twelve characters of the OEM code page, up to three bytes each) and its
// terminating zero.
constexpr std::size_t kShortNameCapacity = 40;

// Reads into `buffer` the short form of the name the open file `fd` was reached by. False when
// it has none, when the file system keeps none (any mount but ntfs-3g), or when the answer is
// not a name of a folder entry (empty, "." or "..", a slash, a control character); the buffer is
// empty then.
using ShortNameReader = bool (*)(int fd, char (&buffer)[kShortNameCapacity]);
bool readNtfsShortName(int fd, char (&buffer)[kShortNameCapacity]);

// The reader the offline file system asks; tests put one of their own in place (the extended
// attribute exists only on an ntfs-3g mount). Returns the one it replaces.
ShortNameReader installShortNameReader(ShortNameReader reader);
ShortNameReader shortNameReader();

// How many names the file `fd`, reached by `openedName` and linked `links` times, has as Windows
// counts them. Two links of which one is the short form of `openedName` are one name, and
// `shortName` receives that short form; anything else is counted as the system counts it, and
// `shortName` is left empty. A short form that equals the name itself is no second entry: the
// other link is then another name.
nlink_t namesOf(int fd, nlink_t links, const char* openedName,
                char (&shortName)[kShortNameCapacity]);

}  // namespace platform::offline
