// The memory scan: before any file is walked, the image of every running process is examined
// by the worm check; a worm process is ended and its image removed.
#pragma once

// Examines every running process; returns with inMemoryScan at 0, or, on the NT family when a
// worm process was found that the scan could not deal with, ends the program (after offering
// a restart when one is required).
void runMemoryScan();

// The scans by platform family; each returns the result of the last process examined (see
// memory_scan.cpp), and 0 when the processes cannot be listed.
int scanMemoryToolhelp();
int scanMemoryPsapi();

// The name of the service that runs an image: its file name without the extension.
void serviceNameFromPath(const char* imagePath, char (&name)[260]);
