#include "system/perf_data.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/little_endian.h"

namespace {

// Layouts of the published performance-data structures; their fields have fixed widths, so
// these offsets hold for 32-bit and 64-bit systems alike.
constexpr std::size_t kBlockHeaderLength = 24;  // PERF_DATA_BLOCK.HeaderLength
constexpr std::size_t kBlockMinimumSize = 28;
constexpr std::size_t kObjectDefinitionLength = 4;  // PERF_OBJECT_TYPE
constexpr std::size_t kObjectHeaderLength = 8;
constexpr std::size_t kObjectNumCounters = 32;
constexpr std::size_t kObjectNumInstances = 40;
constexpr std::size_t kObjectSize = 64;
constexpr std::size_t kCounterSize = 40;  // PERF_COUNTER_DEFINITION
constexpr std::size_t kCounterNameTitleIndex = 4;
constexpr std::size_t kCounterOffset = 36;
constexpr std::size_t kInstanceByteLength = 0;  // PERF_INSTANCE_DEFINITION
constexpr std::size_t kInstanceNameOffset = 16;
constexpr std::size_t kInstanceSize = 24;
constexpr std::size_t kCounterBlockSize = 4;  // PERF_COUNTER_BLOCK.ByteLength

constexpr std::size_t kLongestConvertedName = 260;
constexpr std::uint32_t kIdleProcessStandIn = 0xFFFFFFFE;

// A view of the block that answers every read with a check: a read outside fails.
class Block {
 public:
  Block(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool fits(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  bool u32(std::uint64_t offset, std::uint32_t& value) const {
    if (!fits(offset, 4)) return false;
    const std::uint8_t* p = bytes_ + offset;
    value = bytes::littleEndian32(p);
    return true;
  }
  bool u16(std::uint64_t offset, std::uint16_t& value) const {
    if (!fits(offset, 2)) return false;
    value = static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    return true;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
};

bool hasPerfSignature(const std::uint8_t* block, std::size_t size) {
  static const std::uint8_t kSignature[8] = {'P', 0, 'E', 0, 'R', 0, 'F', 0};
  return size >= sizeof kSignature && std::memcmp(block, kSignature, sizeof kSignature) == 0;
}

enum class NameConversion { Converted, TooLong, OutsideBlock };

// Converts the zero-terminated UTF-16 name at `offset` to single-byte text. Characters outside
// ASCII become '?', which no file name holds, so such a name never matches a file's.
NameConversion convertName(const Block& block, std::uint64_t offset,
                           char (&name)[kLongestConvertedName]) {
  for (std::size_t i = 0; i < kLongestConvertedName; ++i) {
    std::uint16_t unit = 0;
    if (!block.u16(offset + 2 * i, unit)) return NameConversion::OutsideBlock;
    if (unit == 0) {
      name[i] = '\0';
      return NameConversion::Converted;
    }
    name[i] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return NameConversion::TooLong;
}

// The CounterOffset of the id counter, or false when the object has no such counter.
bool findIdCounterOffset(const Block& block, std::uint64_t object, long idProcessIndex,
                         std::uint32_t& counterOffset) {
  std::uint32_t headerLength = 0, counters = 0;
  if (!block.u32(object + kObjectHeaderLength, headerLength) ||
      !block.u32(object + kObjectNumCounters, counters)) {
    return false;
  }
  for (std::uint64_t i = 0; i < counters; ++i) {
    std::uint64_t definition = object + headerLength + i * kCounterSize;
    std::uint32_t titleIndex = 0;
    if (!block.fits(definition, kCounterSize) ||
        !block.u32(definition + kCounterNameTitleIndex, titleIndex)) {
      return false;
    }
    if (static_cast<long>(titleIndex) == idProcessIndex) {
      return block.u32(definition + kCounterOffset, counterOffset);
    }
  }
  return false;
}

// The length of the string at `text`, looking at no more than `limit` bytes.
std::size_t boundedLength(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return length;
}

// The number that `text` begins with, as atol reads it: blanks, a sign, then decimal digits up to
// the first other character. Too many digits give the largest value rather than an overflow.
long leadingNumber(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  constexpr long kLargest = 0x7FFFFFFF;
  long value = 0;
  for (; text::isAsciiDigit(*text); ++text) {
    int digit = *text - '0';
    value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace

ProcessCounterTitles findProcessCounterTitles(const std::uint8_t* counters, std::size_t size) {
  ProcessCounterTitles titles;
  const char* text = reinterpret_cast<const char*>(counters);
  const char* previous = nullptr;
  std::size_t position = 0;
  while (position < size) {
    const char* current = text + position;
    std::size_t length = boundedLength(current, size - position);
    if (length == size - position) break;  // not terminated inside the value
    if (length == 0) break;                // the empty string that ends the list
    if (previous != nullptr) {
      if (text::equalsIgnoringCase(current, "process")) {
        text::copy(titles.processObject, previous);
      } else if (text::equalsIgnoringCase(current, "id process")) {
        titles.idProcessIndex = leadingNumber(previous);
      }
    }
    previous = current;
    position += length + 1;
  }
  return titles;
}

int parseProcessTasks(const std::uint8_t* bytes, std::size_t size, long idProcessIndex,
                      PerfTask* tasks) {
  Block block(bytes, size);
  std::uint32_t headerLength = 0;
  if (!hasPerfSignature(bytes, size) || size < kBlockMinimumSize ||
      !block.u32(kBlockHeaderLength, headerLength)) {
    return 0;
  }
  std::uint64_t object = headerLength;
  std::uint32_t definitionLength = 0, instances = 0, counterOffset = 0;
  if (!block.fits(object, kObjectSize) ||
      !block.u32(object + kObjectDefinitionLength, definitionLength) ||
      !block.u32(object + kObjectNumInstances, instances) ||
      !findIdCounterOffset(block, object, idProcessIndex, counterOffset)) {
    return 0;
  }
  // NumInstances is signed: -1 means an object without instances.
  int count = static_cast<std::int32_t>(instances) < 0 ? 0 : static_cast<int>(instances);
  if (count > kMaxPerfTasks) count = kMaxPerfTasks;

  std::uint64_t instance = object + definitionLength;
  for (int i = 0; i < count; ++i) {
    std::uint32_t instanceLength = 0, nameOffset = 0, counterBlockLength = 0, processId = 0;
    if (!block.fits(instance, kInstanceSize) ||
        !block.u32(instance + kInstanceByteLength, instanceLength) ||
        !block.u32(instance + kInstanceNameOffset, nameOffset) || instanceLength < kInstanceSize) {
      return 0;
    }
    std::uint64_t counterBlock = instance + instanceLength;
    if (!block.u32(counterBlock, counterBlockLength) || counterBlockLength < kCounterBlockSize ||
        !block.fits(counterBlock, counterBlockLength) ||
        static_cast<std::uint64_t>(counterOffset) + 4 > counterBlockLength ||
        !block.u32(counterBlock + counterOffset, processId)) {
      return 0;
    }
    char name[kLongestConvertedName];
    PerfTask& task = tasks[i];
    task = PerfTask{};
    switch (convertName(block, instance + nameOffset, name)) {
      case NameConversion::OutsideBlock:
        return 0;
      case NameConversion::TooLong:
        text::copy(task.name, "unknown");
        break;
      case NameConversion::Converted:
        // A name too long for the table is left empty rather than cut.
        if (std::strlen(name) < sizeof task.name) text::copy(task.name, name);
        break;
    }
    task.processId = processId == 0 ? kIdleProcessStandIn : processId;
    instance = counterBlock + counterBlockLength;
  }
  return count;
}
