// vandrel-rescue: the scan of vandrel-cli run over a Windows installation mounted on Linux, its
// registry cleaned in the installation's hives. Callable in-process, so that tests run it whole.
#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/offline/hive_file.h"
#include "platform/offline/rooted_tree.h"

// Whether the file system of the tree's root is mounted read-only, as the system says.
bool mountedReadOnly(const platform::offline::RootedTree& tree);

// What the rescue asks of the machine it runs on beyond the installation's files; tests answer
// in its place.
struct RescueSystem {
  bool (*mountedReadOnly)(const platform::offline::RootedTree& tree) = ::mountedReadOnly;
  // YYYYMMDD for the backups' names; empty for today.
  std::string backupDate;
  // Writes a verified hive to its new file.
  platform::offline::HiveWriter hiveWriter = platform::offline::copyHive;
  // The unprivileged children that read and edit the hives.
  platform::offline::SandboxSettings sandbox;
  // Set (by a signal handler) to end the scan early: the statistics are written, and the hives
  // are committed with what was removed up to then.
  const volatile std::sig_atomic_t* interrupted = nullptr;
};

// Runs the command line `arguments` (without the program's name): log lines and the final
// status on `output`, problems on `errors`. Returns the exit status (see kRescueUsage).
int runRescue(const std::vector<std::string>& arguments, std::FILE* output, std::FILE* errors,
              const RescueSystem& system = RescueSystem());
