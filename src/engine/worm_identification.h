// Identifying a worm file: the pure examination behind checkBlasterFile, without counting,
// cleanup or remedy, so that tools can ask the same question and change nothing.
#pragma once

#include "engine/worm_signatures.h"
#include "platform/types.h"

// Examines an open file and returns the first record of the signature table that it matches,
// or nullptr. Reads the headers (at most 922 bytes), then at most two probes of probeLength
// bytes per record tried; never the whole file. When `measured` is given it is set to whether
// the file's length could be had, so that a caller can tell "not identified" from "could not be
// looked at".
const WormSignature* identifyOpenFile(platform::Handle file, bool* measured = nullptr);

// The same for the file at `path`, opened for reading and closed on return. `examined` tells
// whether the file could be opened and measured.
const WormSignature* identifyWormFile(const char* path, bool* examined = nullptr);
