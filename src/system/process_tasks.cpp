#include "system/process_tasks.h"

#include "common/bounded_text.h"
#include "common/heap_array.h"
#include "platform/registry.h"

namespace {

constexpr char kCounterTitlesKey[] = "software\\microsoft\\windows nt\\currentversion\\perflib";
constexpr int kNeutralEnglish = 9;
constexpr std::uint32_t kInitialBlockSize = 51200;
constexpr std::uint32_t kBlockGrowth = 25600;
// The system may go on asking for more; past this the data are not worth the memory.
constexpr std::uint32_t kLargestBlock = 16 * 1024 * 1024;

ProcessCounterTitles readCounterTitles() {
  char subkey[platform::kMaxPath];
  if (!text::format(subkey, sizeof subkey, "%s\\%03x", kCounterTitlesKey, kNeutralEnglish)) {
    return {};
  }
  platform::Registry& registry = platform::registry();
  platform::Handle opened = platform::kNoHandle;
  if (registry.openKey(platform::kRootLocalMachine, subkey, platform::kKeyRead, opened) !=
      platform::kErrorSuccess) {
    return {};
  }
  platform::ScopedKey key(opened);
  std::uint32_t size = 0;
  if (registry.queryValue(key.get(), "Counters", nullptr, nullptr, &size) !=
      platform::kErrorSuccess) {
    return {};
  }
  HeapArray<std::uint8_t> counters(size);
  if (!counters || registry.queryValue(key.get(), "Counters", nullptr, counters.data(), &size) !=
                       platform::kErrorSuccess) {
    return {};
  }
  return findProcessCounterTitles(counters.data(), size < counters.size() ? size : counters.size());
}

// Reads the process object's block, growing the buffer while the system asks for more. The
// block's length is left in `size`.
bool readPerformanceBlock(const char* valueName, HeapArray<std::uint8_t>& block,
                          std::uint32_t& size) {
  platform::Registry& registry = platform::registry();
  platform::ScopedKey performanceData(platform::kRootPerformanceData);
  std::uint32_t capacity = kInitialBlockSize;
  for (;;) {
    if (!block.reset(capacity)) return false;
    size = capacity;
    long result =
        registry.queryValue(performanceData.get(), valueName, nullptr, block.data(), &size);
    if (result == platform::kErrorMoreData) {
      if (capacity > kLargestBlock - kBlockGrowth) return false;
      capacity += kBlockGrowth;
      continue;
    }
    return result == platform::kErrorSuccess && size != 0 && size <= capacity;
  }
}

}  // namespace

int readProcessTasks(PerfTask* tasks) {
  ProcessCounterTitles titles = readCounterTitles();
  // Without the process object or its id counter no process id can be trusted.
  if (!titles.complete()) return 0;
  HeapArray<std::uint8_t> block;
  std::uint32_t size = 0;
  if (!readPerformanceBlock(titles.processObject, block, size)) return 0;
  return parseProcessTasks(block.data(), size, titles.idProcessIndex, tasks);
}
