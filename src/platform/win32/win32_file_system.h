// The file part of the seam on Windows: thin calls to the Win32 file API.
#pragma once

#include "platform/file_system.h"

namespace platform::win32 {

class Win32FileSystem : public FileSystem {
 public:
  OpenFailure lastOpenFailure() override { return lastOpenFailure_; }
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
  bool setAttributes(const char* path, std::uint32_t attributes) override;
  bool deleteFile(const char* path) override;
  bool deleteAtRestart(const char* path) override;
  Handle openForRemoval(const char* path) override;
  bool identify(Handle file, FileIdentity& identity) override;
  bool setAttributesOf(Handle file, std::uint32_t attributes) override;
  bool deleteOpenFile(Handle file) override;
  bool moveOpenFile(Handle file, const char* newPath) override;
  bool createProtectedFolder(const char* path) override;
  EntryRemoval entryRemoval(const char* folder) override;
  bool identifyPath(const char* path, FileIdentity& identity) override;
  std::uint32_t driveType(const char* root) override;
  bool shortPathName(const char* path, char* buffer, std::size_t capacity) override;
  bool readProfileSection(const char* file, const char* section, char* buffer, std::size_t capacity,
                          std::size_t& used) override;
  bool writeProfileSection(const char* file, const char* section, const char* lines) override;
  bool windowsDirectory(char* buffer, std::size_t capacity) override;
  bool systemDirectory(char* buffer, std::size_t capacity) override;
  bool tempDirectory(char* buffer, std::size_t capacity) override;

 private:
  // Notes why an opening or search failed (from the system's last error), or that it did not.
  Handle noteOpening(void* opened);

  OpenFailure lastOpenFailure_ = OpenFailure::kNone;
};

}  // namespace platform::win32
