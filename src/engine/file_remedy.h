// What is done to a worm file once it is known: deletion, with its fall-backs (ending the
// process that holds it, or deletion at the next restart).
#pragma once

// After an identification during the file scan (the file is closed): records the finding and
// deletes the file.
void applyFileRemedy(const char* virusName, const char* path);

// The memory scan's removal of the image of a worm process it has just tried to end.
void applyMemoryRemedy(const char* entryVirusName, const char* path);

// Makes the file deletable and deletes it; if it is in use, ends the process that runs it and
// tries again, or arranges its deletion at the next restart. Every outcome is one log line.
void deleteWormFile(const char* path, const char* virusName);

// Arranges for the system to delete the file at its next start. Returns 1 when arranged.
int scheduleRemovalAtRestart(const char* path);
