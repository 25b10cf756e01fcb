// Identifying a worm file: the pure examination behind checkBlasterFile, without counting,
// cleanup or remedy, so that tools can ask the same question and change nothing.
#pragma once

#include "engine/worm_signatures.h"

// Examines the file at `path` and returns the first record of the signature table that it
// matches, or nullptr. Reads the headers (at most 922 bytes), then at most two probes of
// probeLength bytes per record tried; never the whole file. The file is closed on return.
// When `examined` is given it is set to whether the file could be opened and measured, so that
// a caller can tell "not identified" from "could not be looked at".
const WormSignature* identifyWormFile(const char* path, bool* examined = nullptr);
