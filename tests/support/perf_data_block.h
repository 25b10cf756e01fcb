// Builds performance data as the system hands it out: the "Counters" titles and a data block
// whose first object is the process object, laid out by hand from the published structures.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace perfdata {

struct Instance {
  std::string name;  // ASCII, stored as UTF-16
  std::uint32_t processId;
};

constexpr std::uint32_t kIdProcessIndex = 784;
constexpr std::uint32_t kProcessObjectIndex = 230;

// "Counters": index and title strings, alternating, ending in an empty string.
inline std::string counterTitles(bool withProcess = true, bool withIdProcess = true) {
  std::string titles;
  auto add = [&titles](const std::string& text) { titles.append(text).push_back('\0'); };
  add("1"), add("1847"), add("2"), add("System");
  if (withProcess) add("230"), add("Process");
  add("6"), add("% Processor Time");
  if (withIdProcess) add("784"), add("ID Process");
  titles.push_back('\0');
  return titles;
}

class BlockBuilder {
 public:
  std::vector<std::uint8_t> build(const std::vector<Instance>& instances) const {
    std::vector<std::uint8_t> block(kBlockHeader, 0);
    const char signature[] = {'P', 0, 'E', 0, 'R', 0, 'F', 0};
    block.assign(signature, signature + 8);
    block.resize(kBlockHeader, 0);
    put32(block, 24, kBlockHeader);  // HeaderLength
    put32(block, 28, 1);             // NumObjectTypes

    std::size_t object = block.size();
    std::uint32_t counters = withIdCounter ? 2 : 1;
    block.resize(object + kObjectHeader + counters * kCounterDefinition, 0);
    put32(block, object + 4, kObjectHeader + counters * kCounterDefinition);  // DefinitionLength
    put32(block, object + 8, kObjectHeader);                                  // HeaderLength
    put32(block, object + 12, kProcessObjectIndex);
    put32(block, object + 32, counters);
    put32(block, object + 40,
          numInstancesOverride.value_or(static_cast<std::int32_t>(instances.size())));
    std::size_t definition = object + kObjectHeader;
    put32(block, definition, kCounterDefinition);
    put32(block, definition + 4, 6);  // % Processor Time
    put32(block, definition + 36, 8);
    if (withIdCounter) {
      put32(block, definition + kCounterDefinition, kCounterDefinition);
      put32(block, definition + kCounterDefinition + 4, kIdProcessIndex);
      put32(block, definition + kCounterDefinition + 36, kIdOffset);
    }

    for (const Instance& instance : instances) {
      std::size_t start = block.size();
      std::size_t nameBytes = (instance.name.size() + 1) * 2;
      std::size_t length = kInstanceHeader + ((nameBytes + 7) / 8) * 8;
      block.resize(start + length, 0);
      put32(block, start, static_cast<std::uint32_t>(length));
      put32(block, start + 16, kInstanceHeader);
      put32(block, start + 20, static_cast<std::uint32_t>(nameBytes));
      for (std::size_t i = 0; i < instance.name.size(); ++i) {
        block[start + kInstanceHeader + 2 * i] = static_cast<std::uint8_t>(instance.name[i]);
      }
      std::size_t counterBlock = block.size();
      block.resize(counterBlock + kCounterBlock, 0);
      put32(block, counterBlock, kCounterBlock);
      put32(block, counterBlock + kIdOffset, instance.processId);
    }
    put32(block, object, static_cast<std::uint32_t>(block.size() - object));
    put32(block, 20, static_cast<std::uint32_t>(block.size()));
    return block;
  }

  bool withIdCounter = true;
  std::optional<std::int32_t> numInstancesOverride;

  static constexpr std::uint32_t kBlockHeader = 88;
  static constexpr std::uint32_t kObjectHeader = 64;
  static constexpr std::uint32_t kCounterDefinition = 40;
  static constexpr std::uint32_t kInstanceHeader = 24;
  static constexpr std::uint32_t kCounterBlock = 24;
  static constexpr std::uint32_t kIdOffset = 16;

 private:
  static void put32(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
};

}  // namespace perfdata
