// The exit status of a scan run without windows, as the console programs report it to whoever
// started them: what was found, and whether anything is left for a person to do.
#pragma once

#include "scan/scan_session.h"

constexpr int kExitClean = 0;             // no worm found, everything in scope examined
constexpr int kExitRemoved = 1;           // worm found, every identified file deleted
constexpr int kExitNeedsAttention = 2;    // a file could not be deleted, or a restart is needed
constexpr int kExitCouldNotRun = 3;       // the scan could not run
constexpr int kExitNotAllExamined = 4;    // not everything in scope was examined (an interrupted
                                          // scan, a folder that cannot be listed, a file that
                                          // cannot be opened, a link, a path too long, ...), and
                                          // nothing found was left behind
constexpr int kExitReportNotWritten = 5;  // the scan ran, but its --report file could not be
                                          // written

// The status of the scan recorded in `session`. A scan that did not examine everything in its
// scope is never clean or removed: what it did not reach may hold the worm. Files that other
// programs hold open without sharing are named but do not alone change the status: on a running
// system the registry's own files are always held so.
int scanExitStatus(const ScanSession& session);

// The graver of two statuses: could not run, then needs attention, then the report not
// written, then not everything examined, then removed, then clean.
int graverExitStatus(int a, int b);
