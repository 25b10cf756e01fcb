#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/bounded_text.h"
#include "platform/host/host_file_system.h"

namespace platform::host {
namespace {

struct Search {
  DIR* folder = nullptr;
  char mask[kMaxPath] = {};
  char path[kLongestPath] = {};  // the folder's path, as the pattern gave it
  // The entry handed out last, valid until the folder is read again.
  const struct dirent* current = nullptr;
};

// True when `name` is the entry that `search` handed out last and the listing said it is a
// regular file: that look serves as the look before opening it, as a look of its own would.
bool listedAsRegularFile(const Search& search, const char* name) {
  return search.current != nullptr && search.current->d_type == DT_REG &&
         std::strcmp(search.current->d_name, name) == 0;
}

struct OpenFile {
  int descriptor = -1;
  std::int64_t length = 0;
  std::uint32_t position = 0;
};

Search* searchOf(Handle handle) { return reinterpret_cast<Search*>(handle); }
OpenFile* fileOf(Handle handle) { return reinterpret_cast<OpenFile*>(handle); }

std::uint32_t attributesOf(const struct stat& status) {
  if (S_ISDIR(status.st_mode)) return kAttributeDirectory;
  if (S_ISREG(status.st_mode)) return kAttributeArchive;
  return kAttributeDevice;
}

// The attributes of one listed entry, as Windows would give them.
std::uint32_t attributesOf(DIR* folder, const struct dirent* entry) {
  switch (entry->d_type) {
    case DT_DIR:
      return kAttributeDirectory;
    case DT_REG:
      return kAttributeArchive;
    case DT_LNK: {
      struct stat target;
      bool toFolder =
          fstatat(dirfd(folder), entry->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
      return kAttributeReparsePoint | (toFolder ? kAttributeDirectory : 0);
    }
    case DT_UNKNOWN: {
      struct stat status;
      if (fstatat(dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return kAttributeDevice;
      }
      if (S_ISLNK(status.st_mode)) return kAttributeReparsePoint;
      return attributesOf(status);
    }
    default:
      return kAttributeDevice;
  }
}

// As the system's matching: "*.*" also takes names without a dot.
bool matches(const char* mask, const char* name) {
  if (std::strcmp(mask, "*.*") == 0) return true;
  return fnmatch(mask, name, FNM_CASEFOLD) == 0;
}

// Moves to the next entry that the mask takes; false at the end of the listing.
bool nextMatch(Search& search, FindEntry& entry) {
  search.current = nullptr;
  while (const struct dirent* found = readdir(search.folder)) {
    if (!matches(search.mask, found->d_name)) continue;
    if (!text::copy(entry.fileName, found->d_name)) continue;
    entry.attributes = attributesOf(search.folder, found);
    search.current = found;
    return true;
  }
  return false;
}

}  // namespace

Handle ReadOnlyFiles::findFirst(const char* pattern, FindEntry& entry) {
  const char* separator = std::strrchr(pattern, kPathSeparator);
  if (separator == nullptr) return kNoHandle;
  char folder[kLongestPath];
  std::size_t folderLength =
      separator == pattern ? 1 : static_cast<std::size_t>(separator - pattern);
  if (folderLength >= sizeof folder) return kNoHandle;
  std::memcpy(folder, pattern, folderLength);
  folder[folderLength] = '\0';

  Search* search = new Search;
  std::memcpy(search->path, folder, folderLength + 1);
  if (!text::copy(search->mask, separator + 1) || (search->folder = opendir(folder)) == nullptr ||
      !nextMatch(*search, entry)) {
    findClose(reinterpret_cast<Handle>(search));
    return kNoHandle;
  }
  lastListed_ = search;
  return reinterpret_cast<Handle>(search);
}

bool ReadOnlyFiles::findNext(Handle search, FindEntry& entry) {
  lastListed_ = searchOf(search);
  return nextMatch(*searchOf(search), entry);
}

void ReadOnlyFiles::findClose(Handle handle) {
  Search* search = searchOf(handle);
  if (lastListed_ == search) lastListed_ = nullptr;
  if (search->folder != nullptr) closedir(search->folder);
  delete search;
}

bool ReadOnlyFiles::exists(const char* path) {
  struct stat status;
  return stat(path, &status) == 0;
}

bool ReadOnlyFiles::isReadable(const char* path) { return access(path, R_OK) == 0; }

Handle ReadOnlyFiles::openForReading(const char* path) {
  // A file of the folder just listed is reached from that folder's open descriptor: one name to
  // look up rather than every folder of the path, the same file either way.
  int folder = AT_FDCWD;
  const char* name = path;
  bool listedRegular = false;
  const char* separator = std::strrchr(path, kPathSeparator);
  const Search* listed = static_cast<const Search*>(lastListed_);
  if (listed != nullptr && separator != nullptr && separator != path &&
      std::strncmp(listed->path, path, static_cast<std::size_t>(separator - path)) == 0 &&
      listed->path[separator - path] == '\0') {
    folder = dirfd(listed->folder);
    name = separator + 1;
    listedRegular = listedAsRegularFile(*listed, name);
  }
  // Only regular files: opening a device or a pipe can block or make the device act. The
  // listing's word for the entry just listed is the same look as a status of its own.
  struct stat status;
  if (!listedRegular && (fstatat(folder, name, &status, 0) != 0 || !S_ISREG(status.st_mode))) {
    return kNoHandle;
  }
  int descriptor = openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return kNoHandle;
  // The file may have been replaced between the two looks.
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return kNoHandle;
  }
  return reinterpret_cast<Handle>(new OpenFile{descriptor, status.st_size, 0});
}

std::int64_t ReadOnlyFiles::fileLength(Handle file) { return fileOf(file)->length; }

bool ReadOnlyFiles::seek(Handle file, std::uint32_t offset) {
  fileOf(file)->position = offset;
  return true;
}

int ReadOnlyFiles::read(Handle handle, void* buffer, int count) {
  if (count < 0) return -1;
  OpenFile* file = fileOf(handle);
  ssize_t got;
  do {
    got = pread(file->descriptor, buffer, static_cast<std::size_t>(count), file->position);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return -1;
  file->position += static_cast<std::uint32_t>(got);
  bytesRead_ += static_cast<std::uint64_t>(got);
  return static_cast<int>(got);
}

void ReadOnlyFiles::closeFile(Handle handle) {
  OpenFile* file = fileOf(handle);
  close(file->descriptor);
  delete file;
}

bool ReadOnlyFiles::windowsDirectory(char* buffer, std::size_t capacity) {
  if (capacity > 0) buffer[0] = '\0';
  return false;
}

bool ReadOnlyFiles::systemDirectory(char* buffer, std::size_t capacity) {
  return windowsDirectory(buffer, capacity);
}

bool ReadOnlyFiles::tempDirectory(char* buffer, std::size_t capacity) {
  return windowsDirectory(buffer, capacity);
}

}  // namespace platform::host
