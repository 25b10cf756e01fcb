// The scene of the rescue's acceptance tests, on an installation tree: synthetic worm files in
// every folder of the scan's scope and outside it, clean files and near misses beside them, and
// the worm's start-up values and services in every hive and control set, with decoys that must
// stay. Shared by the unit tests and the tool that lays it out for the end-to-end check.
#pragma once

#include <string>
#include <vector>

#include "offline/installation_tree.h"

namespace offline_test {

struct PlantedFile {
  std::string path;  // relative to the root, as on disk
  std::string bytes;
  std::string virusName;  // empty for a file that is no worm file
};

struct Infection {
  std::vector<PlantedFile> inScope;     // worm files the rescue must delete
  std::vector<PlantedFile> outOfScope;  // worm files outside the scan's folders
  std::vector<PlantedFile> clean;       // files in scope that are no worm files
};

// Plants the files (and, except on 95/98/Me, the registry) on `tree`.
Infection plantInfection(InstallationTree& tree);

// The registry as a rescue leaves it: no worm value or service in any hive or control set,
// every decoy where it was, and every hive readable by hivex. Empty when so; else what is wrong.
std::string registryProblemsAfterRescue(const InstallationTree& tree);

// The path as the rescue's lines show it: "C:\" and the path.
std::string windowsPath(const std::string& relative);

}  // namespace offline_test
