#include "platform/host/host_file_system.h"
#include "platform/win32/win32_file_system.h"

namespace platform::host {
namespace {

win32::Win32FileSystem& system() {
  static win32::Win32FileSystem files;
  return files;
}

}  // namespace

Handle ReadOnlyFiles::findFirst(const char* pattern, FindEntry& entry) {
  return system().findFirst(pattern, entry);
}
bool ReadOnlyFiles::findNext(Handle search, FindEntry& entry) {
  return system().findNext(search, entry);
}
void ReadOnlyFiles::findClose(Handle search) { system().findClose(search); }
bool ReadOnlyFiles::exists(const char* path) { return system().exists(path); }
bool ReadOnlyFiles::isReadable(const char* path) { return system().isReadable(path); }
Handle ReadOnlyFiles::openForReading(const char* path) { return system().openForReading(path); }
std::int64_t ReadOnlyFiles::fileLength(Handle file) { return system().fileLength(file); }
bool ReadOnlyFiles::seek(Handle file, std::uint32_t offset) { return system().seek(file, offset); }

int ReadOnlyFiles::read(Handle file, void* buffer, int count) {
  int got = system().read(file, buffer, count);
  if (got > 0) bytesRead_ += static_cast<std::uint64_t>(got);
  return got;
}

void ReadOnlyFiles::closeFile(Handle file) { system().closeFile(file); }
bool ReadOnlyFiles::windowsDirectory(char* buffer, std::size_t capacity) {
  return system().windowsDirectory(buffer, capacity);
}
bool ReadOnlyFiles::systemDirectory(char* buffer, std::size_t capacity) {
  return system().systemDirectory(buffer, capacity);
}
bool ReadOnlyFiles::tempDirectory(char* buffer, std::size_t capacity) {
  return system().tempDirectory(buffer, capacity);
}

}  // namespace platform::host
