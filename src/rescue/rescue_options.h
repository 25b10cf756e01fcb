// The command line of vandrel-rescue:
// [--dry-run] [--backup|--no-backup] [--report FILE] [--windows PATH] ROOT.
#pragma once

#include <string>
#include <vector>

struct RescueOptions {
  std::string root;
  bool dryRun = false;
  // Keep each hive that is replaced beside it as "<name>.vandrel-<date>".
  bool keepBackup = true;
  bool help = false;
  // Where to write the report; empty for none.
  std::string reportPath;
  // The installation's Windows folder, relative to ROOT; empty to find it.
  std::string windowsFolder;
};

// Reads the arguments (the program's name left out). False with `problem` saying why when they
// are not a valid command line; --help needs no ROOT.
bool parseRescueOptions(const std::vector<std::string>& arguments, RescueOptions& options,
                        std::string& problem);

// What --help prints.
extern const char kRescueUsage[];
