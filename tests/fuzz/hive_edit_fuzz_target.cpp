// Fuzz target: arbitrary bytes as a registry hive, through the work the rescue's editor child
// does on one (platform/offline/hive_editor.h), in this process: hivex opens it, the cleanup's
// look-ups, value removals and service deletions, the reads of the installation's settings (each
// after the checks of hive_cells.h), the hive written out, and the verifier's comparison of the
// result with the original. The base block's checksum, sequence numbers, type and length are mended
// first, as the rescue's header checks would refuse the hive otherwise; whatever those checks still
// refuse is not read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "platform/offline/hive_editor.h"
#include "platform/offline/hive_header.h"
#include "platform/offline/scoped_fd.h"

namespace {

using platform::offline::HiveEditor;
using platform::offline::HiveRemovals;
using platform::offline::ScopedFd;

// Bigger inputs only make each run slower.
constexpr std::size_t kLargestInput = 1024 * 1024;

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

ScopedFd memoryFile(const std::vector<std::uint8_t>& bytes) {
  ScopedFd file(memfd_create("fuzz-hive", MFD_CLOEXEC));
  if (file && !bytes.empty() &&
      write(file.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    return ScopedFd();
  }
  return file;
}

std::string path(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < platform::offline::kHiveBaseBlockSize + 4096 || size > kLargestInput) return 0;
  std::vector<std::uint8_t> bytes(data, data + size);
  std::memcpy(bytes.data(), "regf", 4);
  put32(bytes, 8, bytes::littleEndian32(bytes.data() + 4));
  put32(bytes, 28, 0);
  put32(bytes, 40, static_cast<std::uint32_t>((size - 4096) / 4096 * 4096));
  std::uint32_t checksum = 0;
  for (std::size_t at = 0; at < 508; at += 4) checksum ^= bytes::littleEndian32(bytes.data() + at);
  put32(bytes, 508, checksum);

  ScopedFd input = memoryFile(bytes);
  ScopedFd scratch(memfd_create("fuzz-scratch", MFD_CLOEXEC));
  ScopedFd output(memfd_create("fuzz-output", MFD_CLOEXEC));
  if (!input || !scratch || !output) return 0;
  if (platform::offline::checkHiveFile(input.get()) != platform::offline::HiveFault::kNone) {
    return 0;
  }
  int error = 0;
  std::unique_ptr<HiveEditor> editor = HiveEditor::open(input.get(), scratch.get(), error);
  if (!editor) return 0;

  HiveRemovals removals;
  const std::vector<std::string> run = {"Microsoft", "Windows", "CurrentVersion", "Run"};
  std::string why;
  editor->findKey(run, why);
  std::uint32_t type = 0;
  std::string value;
  editor->queryValue(run, "windows auto update", type, value, why);
  if (editor->removeValue(run, "windows auto update", why) ==
      platform::offline::ValueRemoval::kRemoved) {
    removals.values.push_back({run, "windows auto update"});
  }
  // What the rescue reads of the installation's settings.
  const std::vector<std::string> profiles = {"Microsoft", "Windows NT", "CurrentVersion",
                                             "ProfileList"};
  std::vector<std::string> names;
  std::uint32_t total = 0;
  editor->subkeyNames(profiles, 16, names, total, why);
  std::string text;
  editor->queryText(profiles, "ProfilesDirectory", 65536, type, text, why);
  editor->queryText({"Environment"}, "TEMP", 65536, type, text, why);
  for (const char* service : {"RpcTftpd", "WksPatch"}) {
    editor->findServiceKeys(service, why);
    editor->serviceKeyCount(service);
    std::string imagePath;
    editor->serviceImagePath(service, imagePath, why);
    std::vector<std::string> deleted;
    editor->deleteService(service, deleted, why);
    for (const std::string& key : deleted) {
      std::vector<std::string> components;
      for (std::size_t start = 0;;) {
        std::size_t end = key.find('\\', start);
        components.push_back(key.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
      }
      removals.keys.push_back(components);
    }
  }
  if (!editor->serialise(output.get())) return 0;
  editor.reset();

  // The verifier's work on what was written.
  hive_h* original = hivex_open(path(input.get()).c_str(), 0);
  hive_h* edited = hivex_open(path(output.get()).c_str(), 0);
  if (original != nullptr && edited != nullptr) {
    platform::offline::sameHiveLessRemovals(original, edited, removals, why);
  }
  if (original != nullptr) hivex_close(original);
  if (edited != nullptr) hivex_close(edited);
  return 0;
}
