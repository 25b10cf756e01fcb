// Fuzz target: arbitrary bytes as the registry's performance data. The first byte chooses the
// reader: odd, the "Counters" titles; even, the data block of the process object. Besides the
// sanitizers' findings, it stops on a broken promise: more tasks than the table holds, or a
// name without its terminator.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "system/perf_data.h"

namespace {

constexpr long kIdProcessIndex = 784;

[[noreturn]] void brokenPromise(const char* what) {
  std::fprintf(stderr, "performance data fuzz target: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The readers get exactly the bytes after the selector, so that a read past them is caught.
  std::size_t length = size - 1;
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[length]);
  if (length > 0) std::memcpy(bytes.get(), data + 1, length);

  if ((data[0] & 1) != 0) {
    ProcessCounterTitles titles = findProcessCounterTitles(bytes.get(), length);
    if (strnlen(titles.processObject, sizeof titles.processObject) == sizeof titles.processObject) {
      brokenPromise("a title index without its terminator");
    }
    return 0;
  }
  PerfTask tasks[kMaxPerfTasks + 1];
  int count = parseProcessTasks(bytes.get(), length, kIdProcessIndex, tasks);
  if (count < 0 || count > kMaxPerfTasks) brokenPromise("a task count outside the table");
  for (int i = 0; i < count; ++i) {
    if (strnlen(tasks[i].name, sizeof tasks[i].name) == sizeof tasks[i].name) {
      brokenPromise("a task name without its terminator");
    }
  }
  return 0;
}
