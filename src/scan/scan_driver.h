// One whole scan: the memory scan, the walks of the Windows and temporary trees, the statistics
// block, the final status line and the restart offer. Always returns 1.
#pragma once

int runScan();
