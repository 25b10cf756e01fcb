// The file part of the platform seam: directory search, existence, a read-only binary file,
// attributes, deletion, and the system's well-known directories.
#pragma once

#include <cstdint>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

// One entry of a directory listing: what the walker needs of WIN32_FIND_DATAA.
struct FindEntry {
  std::uint32_t attributes = 0;
  char fileName[kMaxPath] = {};
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

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

  // The Windows directory and the temporary directory (the latter ends in a backslash).
  // Return false, leaving the buffer empty, when the path cannot be had or does not fit.
  virtual bool windowsDirectory(char* buffer, std::size_t capacity) = 0;
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
