// The running processes as the performance data name them (ids and names without extension),
// read from the registry: the NT family's process list that needs no extra library.
#pragma once

#include "system/perf_data.h"

// Fills `tasks` (room for kMaxPerfTasks + 1) and returns how many there are; 0 when the counter
// titles, the process object or its id counter cannot be read.
int readProcessTasks(PerfTask* tasks);
