// Fuzz target: arbitrary bytes as a file on a fresh simulated machine, through the reading of its
// version resource. Besides the sanitizers' findings, it stops on a broken promise: more read
// than the headers, the section table, the resource directory's entries and the version's fixed
// part can take, or a handle left open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/version_resource.h"
#include "platform/file_system.h"
#include "platform/sim/simulated_windows.h"

namespace {

// The DOS header's field and the PE header (a few hundred bytes), 96 section headers of 40
// bytes, 256 directory entries of 8 bytes with their directories, and the version's 92 bytes.
constexpr std::uint64_t kMostBytesRead = 1024 + 96 * 40 + 256 * 8 + 4 * 16 + 92;

[[noreturn]] void brokenPromise(const char* what) {
  std::fprintf(stderr, "version resource fuzz target: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char kPath[] = R"(C:\WINDOWS\system32\rpcrt4.dll)";
  sim::SimulatedWindows machine;
  machine.files.addFile(kPath, std::string(reinterpret_cast<const char*>(data), size));
  {
    platform::ScopedFile file(platform::files().openForReading(kPath));
    if (!file) brokenPromise("the file cannot be opened");
    FileVersion version;
    readFileVersion(file.get(), version);
  }
  if (machine.files.bytesRead() > kMostBytesRead) brokenPromise("read more than it may");
  if (machine.openHandleCount() != 0) brokenPromise("a handle was left open");
  return 0;
}
