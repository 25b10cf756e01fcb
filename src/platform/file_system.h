// The file part of the platform seam: directory search, existence, a read-only binary file,
// attributes, deletion, and the system's well-known directories.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// One entry of a directory listing: what the walker needs of WIN32_FIND_DATA.
struct FindEntry {
  std::uint32_t attributes = 0;
  // The name in the system's text (see kPathBytes), whole.
  char fileName[kPathBytes] = {};
  // False when fileName is not the entry's own name: the name has characters the code page
  // lacks, and the conversion put others in their place (a look-alike such as '.' for a
  // fullwidth full stop, or '?'). Joined to its folder, such a text names another file, or none.
  bool exactName = true;
  // The short (8.3) name, plain ASCII, where the system keeps one apart from the long name;
  // empty otherwise.
  char alternateName[14] = {};
};

// What the system tells of an open file.
struct FileIdentity {
  std::uint32_t volumeSerial = 0;
  std::uint64_t fileIndex = 0;   // unique on its volume while the file exists
  std::uint32_t links = 0;       // the names (hard links) the file has
  std::uint32_t attributes = 0;  // kAttributeReparsePoint when a link itself was opened
};

// Two identities name the same file when volume and index agree.
inline bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.volumeSerial == b.volumeSerial && a.fileIndex == b.fileIndex;
}

// What kind of drive a root ("C:\") is, as GetDriveTypeA says.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;

// Why an opening or a search last failed.
enum class OpenFailure : std::uint8_t {
  kNone,      // it did not fail
  kNotFound,  // nothing is there, or nothing matched the pattern
  kInUse,     // another program holds it open without sharing it
  kOther,     // refused, damaged, a limit met, or anything else
};

// Who may delete or rename what lies in a folder, or give themselves the right to.
enum class EntryRemoval : std::uint8_t {
  // Only administrators and the system (and the account this program runs as): the folder's
  // owner and access list show it.
  kAdministratorsOnly,
  // The volume keeps no access lists (FAT): every user may change every file on it.
  kNoAccessLists,
  // The owner or an entry of the access list lets someone else do it; no access list at all
  // lets everyone.
  kOthers,
  // It could not be verified: the folder could not be opened, its security could not be read or
  // holds what this program does not know.
  kUnknown,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // How long the system takes `path` to be, in the units kMaxPath counts: by default one a byte,
  // as in a single-byte code page.
  virtual std::size_t pathLength(const char* path) { return std::strlen(path); }

  // Why the last findFirst, openForReading or openForRemoval returned kNoHandle (kNone after one
  // that succeeded). An implementation that cannot tell says kOther: a failure it cannot explain
  // is never taken for "nothing there".
  virtual OpenFailure lastOpenFailure() { return OpenFailure::kOther; }

  // Starts a search on a pattern such as "C:\WINDOWS\*.*" and fills `entry` with the first match.
  // Returns kNoHandle when nothing matches or the folder cannot be listed; `entry` is then
  // unspecified. Listings include "." and ".." where the file system has them.
  virtual Handle findFirst(const char* pattern, FindEntry& entry) = 0;
  // Fills `entry` with the next match; false at the end of the listing or on failure.
  virtual bool findNext(Handle search, FindEntry& entry) = 0;
  virtual void findClose(Handle search) = 0;

  // True when the path names an existing file or folder.
  virtual bool exists(const char* path) = 0;
  // True when the path names a file that this process may open for reading.
  virtual bool isReadable(const char* path) = 0;

  // Opens a file for untranslated reading; kNoHandle on failure.
  virtual Handle openForReading(const char* path) = 0;
  // The file's length in bytes, or -1 when it cannot be had.
  virtual std::int64_t fileLength(Handle file) = 0;
  // Positions the file at `offset` bytes from its start; false on failure.
  virtual bool seek(Handle file, std::uint32_t offset) = 0;
  // Reads up to `count` bytes; returns the number read (0 at the end), or -1 on failure.
  virtual int read(Handle file, void* buffer, int count) = 0;
  virtual void closeFile(Handle file) = 0;

  // Replaces the file's attributes; false on failure.
  virtual bool setAttributes(const char* path, std::uint32_t attributes) = 0;
  // Deletes a file; false on failure (in use, access denied, absent).
  virtual bool deleteFile(const char* path) = 0;

  // Opens a file so that it can be examined and then removed through this same handle: for
  // reading, changing its attributes and deleting it, shared with every other opener, and
  // without following a link or junction at its own name. kNoHandle when it cannot be opened
  // so: in use by a program that did not share deletion, access denied, absent, a folder, or
  // on the 95/98/Me family, which has no such opening (it keeps to the path calls above).
  // The handle reads as one from openForReading does, and is closed with closeFile.
  virtual Handle openForRemoval(const char* path) = 0;
  // What the system tells of an open file (any handle of this interface); false when it cannot
  // tell, `identity` being untouched then.
  virtual bool identify(Handle file, FileIdentity& identity) = 0;
  // Through a handle from openForRemoval: replaces the file's attributes.
  virtual bool setAttributesOf(Handle file, std::uint32_t attributes) = 0;
  // Through a handle from openForRemoval: deletes the file, wherever it lies by now. It is gone
  // once every handle to it is closed. False for a read-only file and for the image of a
  // running program.
  virtual bool deleteOpenFile(Handle file) = 0;
  // Through a handle from openForRemoval: gives the file the full path `newPath`, which must
  // lie on the file's own volume and must not exist. A running program's image can be moved.
  virtual bool moveOpenFile(Handle file, const char* newPath) = 0;
  // Makes a new folder that only administrators and the system may change: nobody else may
  // add to it, rename or delete in it, or change its access list. False when the path exists
  // already (a folder someone else made is never taken) or the folder cannot be made.
  virtual bool createProtectedFolder(const char* path) = 0;
  // Who may delete or rename the entries of the folder `folder`, asked of the folder itself
  // (opened without following a link at its name) and of its volume. An implementation that
  // cannot tell says kUnknown.
  virtual EntryRemoval entryRemoval(const char* folder) {
    static_cast<void>(folder);
    return EntryRemoval::kUnknown;
  }

  // What the system tells of the file at `path`, opened without any right to read or change it
  // (links on the way followed, as when the system starts a program from it). False when it
  // cannot be opened; `identity` is untouched then.
  virtual bool identifyPath(const char* path, FileIdentity& identity) = 0;
  // The kind of drive of a root such as "C:\" (kDriveFixed, kDriveRemote, ...).
  virtual std::uint32_t driveType(const char* root) = 0;

  // Has the system delete the file at its next start (NT family: a delayed move to nowhere);
  // false when that could not be arranged.
  virtual bool deleteAtRestart(const char* path) = 0;
  // The short (8.3) form of an existing path; false, leaving the buffer empty, when the path
  // has none, does not exist, or the result does not fit.
  virtual bool shortPathName(const char* path, char* buffer, std::size_t capacity) = 0;

  // A section of an .ini file as the system's profile functions give it: "key=value" lines,
  // each zero-terminated, the list ending in an empty line. Returns the bytes used without the
  // final zero (0 for a missing file or section); false when the section does not fit.
  virtual bool readProfileSection(const char* file, const char* section, char* buffer,
                                  std::size_t capacity, std::size_t& used) = 0;
  // Replaces the section's lines by `lines` (the same zero-separated list); false on failure.
  virtual bool writeProfileSection(const char* file, const char* section, const char* lines) = 0;

  // The Windows directory, the system directory and the temporary directory (the last ends in
  // a backslash). Return false, leaving the buffer empty, when the path cannot be had or does
  // not fit.
  virtual bool windowsDirectory(char* buffer, std::size_t capacity) = 0;
  virtual bool systemDirectory(char* buffer, std::size_t capacity) = 0;
  virtual bool tempDirectory(char* buffer, std::size_t capacity) = 0;

  // Non-virtual convenience: reads exactly `count` bytes at `offset`, or fails.
  bool readAt(Handle file, std::uint32_t offset, void* buffer, int count) {
    return seek(file, offset) && read(file, buffer, count) == count;
  }
};

FileSystem& files();

inline void closeFileHandle(Handle handle) { files().closeFile(handle); }
using ScopedFile = ScopedSeamHandle<closeFileHandle>;

inline void closeSearchHandle(Handle handle) { files().findClose(handle); }
using ScopedSearch = ScopedSeamHandle<closeSearchHandle>;

}  // namespace platform
