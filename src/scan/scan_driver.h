// One whole scan: the memory scan, the walks of the Windows and temporary trees, the statistics
// block, the final status line and the restart offer. Always returns 1.
#pragma once

int runScan();

// The end of every scan, whatever its scope: the statistics block of the ScanLog (after a blank
// separator when something was found; from here on the log is no longer emptied) and the final
// status line, "Scanning completed" or "Scanning terminated".
void writeScanSummary();

// After the summary: judges whether the worm can come back (kept as the session's
// `reinfection`) and, when the fix for the flaw it enters by is missing or cannot be told,
// says so in one line. Nothing is written for a machine that has the fix or never had the flaw.
void writeReinfectionVerdict();
