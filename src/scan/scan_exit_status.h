// The exit status of a scan run without windows, as the console programs report it to whoever
// started them: what was found, and whether anything is left for a person to do.
#pragma once

#include "scan/scan_session.h"

constexpr int kExitClean = 0;           // no worm found
constexpr int kExitRemoved = 1;         // worm found, every identified file deleted
constexpr int kExitNeedsAttention = 2;  // a file could not be deleted, or a restart is needed
constexpr int kExitCouldNotRun = 3;     // the scan could not run

// The status of the scan recorded in `session`: kExitClean, kExitRemoved or kExitNeedsAttention.
int scanExitStatus(const ScanSession& session);
