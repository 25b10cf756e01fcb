// vandrel-test-installation: lays out an installation tree with the rescue's acceptance scene
// in it, for the end-to-end check of the built vandrel-rescue (scripts/test.d/70-rescue), and
// checks its registry afterwards. A tool of the tests: every file it writes is synthetic.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "offline/infected_installation.h"

namespace {

const char kUsage[] =
    "Usage: vandrel-test-installation lay-out FOLDER xp|seven|ninex [--bare]\n"
    "       vandrel-test-installation check-registry FOLDER xp|seven\n"
    "\n"
    "lay-out makes FOLDER (it must not exist) and lays out an installation of that layout in\n"
    "it, with synthetic worm files in the rescue's scope and outside it, clean files, and the\n"
    "worm's registry values and services among decoys. It prints one line per planted file:\n"
    "in-scope, out-of-scope or clean, a tab, and its path below FOLDER (with '/'). With\n"
    "--bare it lays out the installation alone, with nothing planted.\n"
    "check-registry exits 0 when no worm value or service is left in any hive, every decoy is\n"
    "there and every hive opens in hivex; else it prints what is wrong and exits 1.\n";

bool layoutNamed(const char* name, offline_test::Layout& layout) {
  if (std::strcmp(name, "xp") == 0) {
    layout = offline_test::Layout::kXp;
  } else if (std::strcmp(name, "seven") == 0) {
    layout = offline_test::Layout::kSeven;
  } else if (std::strcmp(name, "ninex") == 0) {
    layout = offline_test::Layout::kNineX;
  } else {
    return false;
  }
  return true;
}

std::string slashes(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : c;
  return path;
}

void list(const char* kind, const std::vector<offline_test::PlantedFile>& files) {
  for (const offline_test::PlantedFile& file : files) {
    std::printf("%s\t%s\n", kind, slashes(file.path).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  offline_test::Layout layout;
  bool bare = argc == 5 && std::strcmp(argv[4], "--bare") == 0;
  if ((argc != 4 && !bare) || !layoutNamed(argv[3], layout)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "lay-out") == 0) {
    offline_test::InstallationTree tree(layout, offline_test::KeptAt(argv[2]));
    offline_test::Infection infection;
    if (!bare) infection = offline_test::plantInfection(tree);
    // The tree's helpers report what went wrong as test failures.
    if (::testing::Test::HasFailure()) return 1;
    list("in-scope", infection.inScope);
    list("out-of-scope", infection.outOfScope);
    list("clean", infection.clean);
    return 0;
  }
  if (std::strcmp(argv[1], "check-registry") == 0 && layout != offline_test::Layout::kNineX &&
      !bare) {
    offline_test::InstallationTree tree(layout, offline_test::KeptAt(argv[2], true));
    std::string problems = offline_test::registryProblemsAfterRescue(tree);
    std::fputs(problems.c_str(), stdout);
    return problems.empty() && !::testing::Test::HasFailure() ? 0 : 1;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
