// vandrel-cli.exe over a prefix that carries the worm's start-up values and services: identifying
// a specimen has them removed and reported once, and the decoys beside them stay.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "specimens/specimens.h"
#include "windows/window_test_support.h"
#include "windows/windows_support.h"
#include "windows/worm_registry_support.h"

namespace {

// Under each Windows version the program is told it runs on. In the i686 lane the values are
// planted by a 32-bit program, so they lie where a 32-bit worm puts them: in the registry's
// 32-bit view.
class CliCleanup : public ::testing::TestWithParam<const char*> {};

TEST_P(CliCleanup, IdentifiedSpecimensHaveTheWormsValuesAndServicesRemovedWithOneLine) {
  wintest::ScopedRegistryValue version(
      HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vandrel-cli.exe", "Version", GetParam());
  wintest::PlantedWorm planted;
  ASSERT_EQ(planted.failure(), "");
  ASSERT_EQ(wintest::serviceState("RpcPatch"), SERVICE_RUNNING);

  // Two copies of one specimen in the temporary tree: two identifications, one cleanup line.
  std::optional<specimens::Specimen> specimen = specimens::build(3, specimens::Variant::Plain);
  ASSERT_TRUE(specimen.has_value());
  wintest::ScratchFolder folder;
  for (const char* copy : {"first-", "second-"}) {
    ASSERT_TRUE(wintest::writeFile(folder.path() + "\\" + copy + specimen->name, specimen->bytes,
                                   FILE_ATTRIBUTE_NORMAL));
  }

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "");
  std::vector<std::string> lines = wintest::splitLines(run.output);
  std::string cleaned = "System Registry     " + specimens::expectedName(*specimen) + " removed";
  EXPECT_EQ(std::count(lines.begin(), lines.end(), cleaned), 1) << run.output << run.errors;
  const std::string infected = "Total files infected\t\t:  ";
  auto count = std::find_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.rfind(infected, 0) == 0; });
  ASSERT_NE(count, lines.end()) << run.output;
  EXPECT_GE(std::stoi(count->substr(infected.size())), 2) << "both copies identified";

  EXPECT_EQ(wintest::cleanupMistakes(), "");
}

INSTANTIATE_TEST_SUITE_P(Versions, CliCleanup,
                         ::testing::Values("win98", "win2k", "winxp", "win7"));

}  // namespace
