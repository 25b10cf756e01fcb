// What is done to a worm file once it is known: deletion, with its fall-backs (ending the
// process that holds it, or deletion at the next restart).
#pragma once

class WormFile;

// After an identification during the file scan: records the finding and deletes the file.
void applyFileRemedy(WormFile& file);

// The memory scan's removal of the image of a worm process it has just tried to end.
void applyMemoryRemedy(const char* entryVirusName, const char* path);

// Makes the file deletable and deletes it; if it is in use, ends the process that runs it and
// tries again, or arranges its deletion at the next restart. Every outcome is one log line. On
// the NT family every step acts through the file's own handle; the 95/98/Me family has path
// calls only.
void deleteWormFile(WormFile& file, const char* virusName);

// Arranges for the system to delete the file at its next start. Returns 1 when arranged. On the
// NT family the file is first moved, through its handle, into a new folder that only
// administrators may change, and that name is the one scheduled: a path that another user can
// redirect is never handed to the system to delete.
int scheduleRemovalAtRestart(WormFile& file);

// The 95/98/Me family's way: a "nul=<short path>" line in the [rename] section of the Windows
// folder's Wininit.ini, which the system processes at its next start. Returns 1 when written.
int scheduleInWininit(const char* path);
