// What is done to a worm file once it is known: deletion, with its fall-backs.
#pragma once

// After an identification during the file scan (the file is closed): records the finding and
// deletes the file.
void applyFileRemedy(const char* virusName, const char* path);

// The memory scan's removal of the image of a worm process it has just tried to end.
void applyMemoryRemedy(const char* entryVirusName, const char* path);
