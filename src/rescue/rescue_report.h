// vandrel-rescue's --report FILE: the scan's JSON document, written while the installation's
// seam is still in place (its release and names are the installation's).
#pragma once

#include <ctime>
#include <string>

// Writes the report to a new file beside `path` (created only if absent, never through a link),
// flushed to disk, which then takes `path`'s name in one step. False with `problem` saying what
// failed; the new file is removed again.
bool writeRescueReport(const std::string& path, std::time_t started, bool dryRun, int exitStatus,
                       std::string& problem);
