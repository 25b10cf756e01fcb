// The memory scan: before any file is walked, running worm processes are found and ended.
#pragma once

// Examines the image of every running process; returns with inMemoryScan at 0, or ends the
// program on the path where a restart must come first.
void runMemoryScan();
