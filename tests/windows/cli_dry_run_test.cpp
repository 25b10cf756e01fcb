// vandrel-cli.exe --dry-run over a prefix with a running worm, a worm file, the worm's start-up
// values and services: it prints the lines a real run prints, and leaves every one of them as it
// was.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "specimens/specimens.h"
#include "support/json_value.h"
#include "ui_driver/running_program.h"
#include "windows/windows_support.h"
#include "windows/worm_registry_support.h"

namespace {

const char kFirstLine[] =
    "Dry run: nothing is changed. The lines below say what a real run would end, delete and "
    "remove.";

int wormValuesLeft() {
  int left = 0;
  for (const footprint::RegistryEntry& value : footprint::wormValues()) {
    left += wintest::valueExists(value) ? 1 : 0;
  }
  return left;
}

class CliDryRun : public ::testing::TestWithParam<const char*> {};

TEST_P(CliDryRun, ChangesNothingAndPrintsTheLinesOfARealRun) {
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", GetParam()));
  wintest::PlantedWorm planted;
  ASSERT_EQ(planted.failure(), "");
  wintest::ScratchFolder scratch;
  std::string image = scratch.path() + "\\msblast.exe";
  ASSERT_TRUE(wintest::copyRunnableSpecimen(image));
  uidriver::RunningProgram worm(image);
  ASSERT_TRUE(worm.started());
  std::optional<specimens::Specimen> specimen = specimens::build(3, specimens::Variant::Plain);
  ASSERT_TRUE(specimen.has_value());
  std::string file = scratch.path() + "\\" + specimen->name;
  ASSERT_TRUE(wintest::writeFile(file, specimen->bytes, FILE_ATTRIBUTE_READONLY));
  DWORD attributes = GetFileAttributesA(file.c_str());
  ASSERT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  int valuesPlanted = wormValuesLeft();

  std::string report = scratch.path() + "\\report.json";
  wintest::ProgramRun dry =
      wintest::runProgram("vandrel-cli.exe", "--dry-run --report \"" + report + "\"");
  std::vector<std::string> dryLines = wintest::splitLines(dry.output);

  ASSERT_FALSE(dryLines.empty()) << dry.errors;
  EXPECT_EQ(dryLines[0], kFirstLine);
  EXPECT_FALSE(worm.waitForExit(0)) << "the worm still runs";
  EXPECT_EQ(GetFileAttributesA(image.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(GetFileAttributesA(file.c_str()), attributes);
  EXPECT_EQ(wormValuesLeft(), valuesPlanted);
  EXPECT_EQ(wintest::serviceState("RpcPatch"), SERVICE_RUNNING);
  EXPECT_NE(dry.errors.find("vandrel-cli: dry run: nothing was changed"), std::string::npos)
      << dry.errors;

  // Its report says it was a dry run, and names what a real run would remove.
  std::ifstream reportFile(report, std::ios::binary);
  testjson::Value document = testjson::parse(
      std::string((std::istreambuf_iterator<char>(reportFile)), std::istreambuf_iterator<char>()));
  reportFile.close();
  EXPECT_TRUE(document["dryRun"].boolean);
  EXPECT_FALSE(document["findings"].items.empty());
  EXPECT_EQ(document["exitStatus"].number, dry.exitCode);
  DeleteFileA(report.c_str());

  wintest::ProgramRun real = wintest::runProgram("vandrel-cli.exe", "");
  dryLines.erase(dryLines.begin());
  EXPECT_EQ(dryLines, wintest::splitLines(real.output)) << dry.output << "\n---\n" << real.output;
  EXPECT_EQ(dry.exitCode, real.exitCode);
  EXPECT_TRUE(worm.waitForExit(wintest::kProcessEndTimeoutMs)) << "the real run ends it";
}

// The 95/98/Me family has no services, and Wine's ToolHelp there does not name the image's
// folder: the file walk meets the running worm instead of the memory scan.
INSTANTIATE_TEST_SUITE_P(Versions, CliDryRun, ::testing::Values("win98", "winxp"));

}  // namespace
