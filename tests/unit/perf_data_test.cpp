// Reading process ids and names out of performance data blocks built by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/perf_data_block.h"
#include "system/perf_data.h"

namespace {

using perfdata::BlockBuilder;
using perfdata::Instance;

// Parses from a heap copy of exactly the block's size, so that a read past its end is caught
// by the address sanitizer.
int parse(const std::vector<std::uint8_t>& block, std::size_t size, PerfTask* tasks,
          long idIndex = perfdata::kIdProcessIndex) {
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size]);
  if (size > 0) std::memcpy(exact.get(), block.data(), size);
  return parseProcessTasks(exact.get(), size, idIndex, tasks);
}

int parse(const std::vector<std::uint8_t>& block, PerfTask* tasks) {
  return parse(block, block.size(), tasks);
}

TEST(PerfData, ReadsEveryProcessIdAndName) {
  std::vector<std::uint8_t> block =
      BlockBuilder().build({{"Idle", 0}, {"System", 4}, {"msblast", 0x520}, {"svchost#1", 0x9A4}});
  PerfTask tasks[kMaxPerfTasks + 1];
  ASSERT_EQ(parse(block, tasks), 4);
  // The idle process's id 0 is kept apart from an empty entry.
  EXPECT_EQ(tasks[0].processId, 0xFFFFFFFEu);
  EXPECT_STREQ(tasks[0].name, "Idle");
  EXPECT_EQ(tasks[2].processId, 0x520u);
  EXPECT_STREQ(tasks[2].name, "msblast");
  EXPECT_STREQ(tasks[3].name, "svchost#1");
}

TEST(PerfData, KeepsNamesOfSixteenCharactersAndLeavesLongerOnesEmpty) {
  std::vector<std::uint8_t> block =
      BlockBuilder().build({{"abcdefghijklmnop", 8}, {"abcdefghijklmnopq", 12}});
  PerfTask tasks[kMaxPerfTasks + 1];
  ASSERT_EQ(parse(block, tasks), 2);
  EXPECT_STREQ(tasks[0].name, "abcdefghijklmnop");
  EXPECT_STREQ(tasks[1].name, "");
  EXPECT_EQ(tasks[1].processId, 12u);
}

TEST(PerfData, TakesAtMostTwoHundredFiftyFourProcesses) {
  std::vector<Instance> many;
  for (std::uint32_t i = 1; i <= 300; ++i) many.push_back({"p" + std::to_string(i), i * 4});
  PerfTask tasks[kMaxPerfTasks + 1];
  EXPECT_EQ(parse(BlockBuilder().build(many), tasks), 254);
  EXPECT_EQ(tasks[253].processId, 254u * 4);
}

TEST(PerfData, NamesNoProcessWithoutTheIdCounterOrInstances) {
  PerfTask tasks[kMaxPerfTasks + 1];
  BlockBuilder withoutId;
  withoutId.withIdCounter = false;
  EXPECT_EQ(parse(withoutId.build({{"msblast", 8}}), tasks), 0);

  BlockBuilder noInstances;
  noInstances.numInstancesOverride = -1;
  EXPECT_EQ(parse(noInstances.build({}), tasks), 0);

  std::vector<std::uint8_t> block = BlockBuilder().build({{"msblast", 8}});
  EXPECT_EQ(parse(block, block.size(), tasks, 999), 0);
  block[0] = 'Q';
  EXPECT_EQ(parse(block, tasks), 0);
}

TEST(PerfData, ADamagedBlockNamesNoProcessAndIsNeverReadOutside) {
  std::vector<std::uint8_t> block = BlockBuilder().build({{"explorer", 0x10}, {"msblast", 0x20}});
  PerfTask tasks[kMaxPerfTasks + 1];
  for (std::size_t size = 0; size < block.size(); ++size) {
    EXPECT_EQ(parse(block, size, tasks), 0) << "cut at " << size;
  }

  // Lengths and offsets that point far outside the block.
  BlockBuilder lying;
  lying.numInstancesOverride = 200;
  EXPECT_EQ(parse(lying.build({{"msblast", 8}}), tasks), 0);
  const std::size_t firstInstance = BlockBuilder::kBlockHeader + BlockBuilder::kObjectHeader +
                                    2 * BlockBuilder::kCounterDefinition;
  for (std::size_t field : {std::size_t{0}, std::size_t{16}}) {
    std::vector<std::uint8_t> damaged = block;
    damaged[firstInstance + field + 3] = 0xFF;
    EXPECT_EQ(parse(damaged, tasks), 0) << "field " << field;
  }
}

TEST(PerfData, FindsTheProcessObjectAndItsIdCounterInTheTitles) {
  std::string titles = perfdata::counterTitles();
  ProcessCounterTitles found =
      findProcessCounterTitles(reinterpret_cast<const std::uint8_t*>(titles.data()), titles.size());
  EXPECT_STREQ(found.processObject, "230");
  EXPECT_EQ(found.idProcessIndex, 784);
  EXPECT_TRUE(found.complete());

  for (bool process : {false, true}) {
    std::string partial = perfdata::counterTitles(process, !process);
    EXPECT_FALSE(findProcessCounterTitles(reinterpret_cast<const std::uint8_t*>(partial.data()),
                                          partial.size())
                     .complete());
  }
  // A value cut inside its last string is read no further than its end.
  std::string cut = titles.substr(0, titles.size() - 5);
  std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[cut.size()]);
  std::memcpy(exact.get(), cut.data(), cut.size());
  EXPECT_STREQ(findProcessCounterTitles(exact.get(), cut.size()).processObject, "230");
}

}  // namespace
