// vandrel-identify: says, for each file named or found under a folder named, which build of the
// W32/Blaster.Worm family it is, or that it is clean. It asks the program's own identification
// and only reads: nothing is deleted, no registry is touched.
#include <cstring>

#include "common/console_output.h"
#include "common/terminal_text.h"
#include "engine/worm_identification.h"
#include "platform/host/host_file_system.h"
#include "platform/os.h"

namespace {

using console::Stream;
using platform::host::kLongestPath;
using platform::host::kPathSeparator;

constexpr int kExitClean = 0;
constexpr int kExitIdentified = 1;
constexpr int kExitTrouble = 2;

const char kUsage[] =
    "Usage: vandrel-identify [--statistics] PATH...\n"
    "\n"
    "Examines each file named, and every file under each folder named (links are not\n"
    "followed), as Vandrel does, and prints one line per file: the path, a tab, and the\n"
    "variant of W32/Blaster.Worm it is identified as, or \"clean\". Nothing is changed.\n"
    "A file that cannot be read is named on standard error.\n"
    "\n"
    "  --statistics  print on standard error how many files were examined and how many\n"
    "                bytes were read for them\n"
    "  --help        show this text\n"
    "\n"
    "Exit status:\n"
    "  0  nothing identified, everything read\n"
    "  1  something identified\n"
    "  2  nothing identified, but a path could not be read; or a usage error\n";

// A path as it may be printed: on a terminal of this machine, nothing in a name from the disk
// may act on the terminal. Windows consoles act on no such bytes.
class Shown {
 public:
  explicit Shown(const char* text) {
#ifdef _WIN32
    text_ = text;
#else
    text::escapeForTerminal(text, escaped_, sizeof escaped_);
    text_ = escaped_;
#endif
  }
  const char* get() const { return text_; }

 private:
  const char* text_ = nullptr;
#ifndef _WIN32
  char escaped_[4 * kLongestPath + 1] = {};
#endif
};

class Examination {
 public:
  explicit Examination(platform::host::ReadOnlyFiles& files) : files_(files) {}

  void examineArgument(const char* argument);
  void printStatistics() const;
  int exitStatus() const {
    if (identified_ > 0) return kExitIdentified;
    return unreadable_ > 0 ? kExitTrouble : kExitClean;
  }

 private:
  void examineFile();
  bool walkFolder(std::size_t length);
  bool appendToPath(std::size_t length, const char* name);
  void reportUnreadable(const char* why, const char* name = nullptr) {
    if (name == nullptr) {
      console::print(Stream::kError, "vandrel-identify: %s: %s\n", why, Shown(path_).get());
    } else {
      console::print(Stream::kError, "vandrel-identify: %s: %s%c%s\n", why, Shown(path_).get(),
                     kPathSeparator, Shown(name).get());
    }
    ++unreadable_;
  }

  platform::host::ReadOnlyFiles& files_;
  char path_[kLongestPath] = {};  // the one path buffer, shared by every folder level
  long examined_ = 0;
  long identified_ = 0;
  long unreadable_ = 0;
  std::uint64_t mostBytesForOneFile_ = 0;
};

bool isDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool isSeparator(char c) { return c == kPathSeparator || c == '/'; }

// Puts a separator and `name` after the first `length` characters of the path. When the result
// would not fit, the path is left as the first `length` characters and false returned: a cut
// path could name another file.
bool Examination::appendToPath(std::size_t length, const char* name) {
  std::size_t nameLength = std::strlen(name);
  path_[length] = '\0';
  if (length + 1 + nameLength >= sizeof path_) return false;
  path_[length] = kPathSeparator;
  std::memcpy(path_ + length + 1, name, nameLength + 1);
  return true;
}

void Examination::examineFile() {
  std::uint64_t before = files_.bytesRead();
  bool examined = false;
  const WormSignature* record = identifyWormFile(path_, &examined);
  if (!examined) {
    reportUnreadable("cannot read");
    return;
  }
  ++examined_;
  std::uint64_t read = files_.bytesRead() - before;
  if (read > mostBytesForOneFile_) mostBytesForOneFile_ = read;
  if (record != nullptr) ++identified_;
  console::print(Stream::kOutput, "%s\t%s\n", Shown(path_).get(),
                 record != nullptr ? record->virusName : "clean");
}

// Examines everything under the folder whose path is the first `length` characters of path_.
// Returns false, having examined nothing, when the folder cannot be listed.
bool Examination::walkFolder(std::size_t length) {
  platform::FindEntry entry;
  if (!appendToPath(length, "*")) return false;
  platform::ScopedSearch search(files_.findFirst(path_, entry));
  path_[length] = '\0';
  if (!search) return false;
  do {
    if (isDotEntry(entry.fileName)) continue;
    bool folder = (entry.attributes & platform::kAttributeDirectory) != 0;
    bool link = (entry.attributes & platform::kAttributeReparsePoint) != 0;
    bool device = (entry.attributes & platform::host::kAttributeDevice) != 0;
    // Folder links are not followed, so that no folder is walked twice and no walk loops.
    if ((folder && link) || device) continue;
    if (!appendToPath(length, entry.fileName)) {
      reportUnreadable("path too long", entry.fileName);
      continue;
    }
    if (!folder) {
      examineFile();
    } else if (!walkFolder(std::strlen(path_))) {
      reportUnreadable("cannot list");
    }
    path_[length] = '\0';
  } while (files_.findNext(search.get(), entry));
  return true;
}

void Examination::examineArgument(const char* argument) {
  std::size_t length = std::strlen(argument);
  if (length == 0 || length >= sizeof path_) {
    console::print(Stream::kError, "vandrel-identify: %s: \"%s\"\n",
                   length == 0 ? "empty path" : "path too long", Shown(argument).get());
    ++unreadable_;
    return;
  }
  std::memcpy(path_, argument, length + 1);
  while (length > 1 && isSeparator(path_[length - 1])) path_[--length] = '\0';
  // A path that cannot be listed as a folder is examined as a file.
  if (!walkFolder(length)) examineFile();
}

void Examination::printStatistics() const {
  unsigned long long bytes = files_.bytesRead();
  // The average in tenths of a byte, rounded, without floating point.
  unsigned long long files = examined_ > 0 ? static_cast<unsigned long long>(examined_) : 1;
  unsigned long long tenths = (bytes * 10 + files / 2) / files;
  console::print(Stream::kError,
                 "files examined: %ld\nfiles identified: %ld\nbytes read: %llu\n"
                 "bytes read per file: %llu.%llu on average, %llu at most\n",
                 examined_, identified_, bytes, tenths / 10, tenths % 10,
                 static_cast<unsigned long long>(mostBytesForOneFile_));
}

int usageError(const char* problem, const char* argument) {
  console::print(Stream::kError, "vandrel-identify: %s%s\n\n%s", problem, argument, kUsage);
  return kExitTrouble;
}

}  // namespace

int main(int argc, char** argv) {
  bool statistics = false;
  int first = 1;
  for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "--help") == 0) {
      console::write(Stream::kOutput, kUsage);
      return kExitClean;
    }
    if (std::strcmp(argv[first], "--statistics") != 0) {
      return usageError("unknown option ", argv[first]);
    }
    statistics = true;
  }
  if (first >= argc) return usageError("no path given", "");

  // Only the file part is installed: the examination reaches nothing else, and anything that
  // tried to would stop the program rather than touch the system.
  static platform::host::ReadOnlyFiles files;
  platform::Os os;
  os.files = &files;
  platform::install(os);

  Examination examination(files);
  for (int index = first; index < argc; ++index) examination.examineArgument(argv[index]);
  console::flush(Stream::kOutput);
  if (statistics) examination.printStatistics();
  return examination.exitStatus();
}
