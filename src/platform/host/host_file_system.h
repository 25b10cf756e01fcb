// The files of the machine a tool runs on, for examination only: listing, existence tests and
// reading work as the seam describes; setAttributes and deleteFile always fail, so nothing that
// reaches files through this implementation can change a file. On Windows it reads through the
// Win32 implementation; elsewhere through POSIX calls, with Windows-like listings:
//   - a pattern is a folder, a separator and a mask ("*" or "*.*" list every entry);
//   - a symbolic link is listed with kAttributeReparsePoint (and kAttributeDirectory when it
//     leads to a folder), so that a walk need not follow it;
//   - anything that is neither a file nor a folder (device, pipe, socket) is listed with
//     kAttributeDevice and cannot be opened, so that examining it never blocks or acts on it.
#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace platform::host {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
constexpr std::size_t kLongestPath = kMaxPath;
#else
constexpr char kPathSeparator = '/';
constexpr std::size_t kLongestPath = 4096;
#endif

// The value Windows gives devices; listed here for entries that are not regular files.
constexpr std::uint32_t kAttributeDevice = 0x40;

class ReadOnlyFiles : public FileSystem {
 public:
  Handle findFirst(const char* pattern, FindEntry& entry) override;
  bool findNext(Handle search, FindEntry& entry) override;
  void findClose(Handle search) override;
  bool exists(const char* path) override;
  bool isReadable(const char* path) override;
  Handle openForReading(const char* path) override;
  std::int64_t fileLength(Handle file) override;
  bool seek(Handle file, std::uint32_t offset) override;
  int read(Handle file, void* buffer, int count) override;
  void closeFile(Handle file) override;
  // Always false: this file system changes nothing.
  bool setAttributes(const char*, std::uint32_t) override { return false; }
  bool deleteFile(const char*) override { return false; }
  bool deleteAtRestart(const char*) override { return false; }
  Handle openForRemoval(const char*) override { return kNoHandle; }
  bool setAttributesOf(Handle, std::uint32_t) override { return false; }
  bool deleteOpenFile(Handle) override { return false; }
  bool moveOpenFile(Handle, const char*) override { return false; }
  bool createProtectedFolder(const char*) override { return false; }
  // Not needed for examination: the tools act on nothing, so they confirm nothing either.
  bool identify(Handle, FileIdentity&) override { return false; }
  bool identifyPath(const char*, FileIdentity&) override { return false; }
  std::uint32_t driveType(const char*) override { return kDriveUnknown; }
  bool writeProfileSection(const char*, const char*, const char*) override { return false; }
  // Not needed for examination.
  bool shortPathName(const char*, char* buffer, std::size_t capacity) override {
    if (capacity > 0) buffer[0] = '\0';
    return false;
  }
  bool readProfileSection(const char*, const char*, char*, std::size_t,
                          std::size_t& used) override {
    used = 0;
    return false;
  }
  // The system's folders on Windows; false (and an empty buffer) where there are none.
  bool windowsDirectory(char* buffer, std::size_t capacity) override;
  bool systemDirectory(char* buffer, std::size_t capacity) override;
  bool tempDirectory(char* buffer, std::size_t capacity) override;

  // Bytes handed out by read() since the start, for reports of how much an examination reads.
  std::uint64_t bytesRead() const { return bytesRead_; }

 private:
  std::uint64_t bytesRead_ = 0;
  // The search whose listing was read last (POSIX only): a file of that folder is opened
  // through the folder it was listed from, not by its whole path again.
  void* lastListed_ = nullptr;
};

}  // namespace platform::host
