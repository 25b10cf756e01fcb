#include "engine/file_remedy.h"

void applyFileRemedy(const char* virusName, const char* path) {
  // Deletion is not wired in yet.
}

void applyMemoryRemedy(const char* entryVirusName, const char* path) {
  // Deletion is not wired in yet.
}
