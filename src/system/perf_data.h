// Reading the process list out of the system's performance data: the counter titles that say
// where the process object and its id counter are, and the data block itself. Both come from
// the registry as bytes and are read here with every offset checked against the block.
#pragma once

#include <cstddef>
#include <cstdint>

// One process of the performance data: its id and its name without extension.
struct PerfTask {
  std::uint32_t processId = 0;
  char name[17] = {};
};

constexpr int kMaxPerfTasks = 254;

// The title indexes found in the "Counters" multi-string: the value name to query for the
// process object (its index in decimal digits) and the index of the "ID Process" counter.
struct ProcessCounterTitles {
  char processObject[16] = {};
  long idProcessIndex = 0;
  bool complete() const { return processObject[0] != '\0' && idProcessIndex != 0; }
};

// Walks the alternating index/title strings of a "Counters" value of `size` bytes.
ProcessCounterTitles findProcessCounterTitles(const std::uint8_t* counters, std::size_t size);

// Fills `tasks` (at most kMaxPerfTasks) from a performance data block holding the process
// object first. Returns the number of tasks, or 0 when the block is not a valid "PERF" block,
// when the id counter is not among the object's counters, or when any part of it lies outside
// the block: a damaged block names no process.
int parseProcessTasks(const std::uint8_t* block, std::size_t size, long idProcessIndex,
                      PerfTask* tasks);
