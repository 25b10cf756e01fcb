// vandrel-cli.exe --report FILE: a document any JSON reader reads, whose findings are the log's
// finding lines, which replaces an older report whole, and a FILE that cannot be written named
// with its own exit status.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "specimens/specimens.h"
#include "support/json_value.h"
#include "support/report_findings.h"
#include "windows/windows_support.h"

namespace {

std::string contentsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(CliReport, TheReportsFindingsAreTheLogsFindingLines) {
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", "winxp"));
  wintest::ScratchFolder scratch;
  std::optional<specimens::Specimen> specimen = specimens::build(3, specimens::Variant::Plain);
  ASSERT_TRUE(specimen.has_value());
  ASSERT_TRUE(wintest::writeFile(scratch.path() + "\\" + specimen->name, specimen->bytes,
                                 FILE_ATTRIBUTE_NORMAL));
  std::string report = scratch.path() + "\\report.json";
  ASSERT_TRUE(wintest::writeFile(report, "an older report, longer than nothing", 0));

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "--report \"" + report + "\"");
  std::vector<std::string> lines = wintest::splitLines(run.output);

  testjson::Value document = testjson::parse(contentsOf(report));
  EXPECT_EQ(document["program"].text, "vandrel-cli");
  EXPECT_EQ(document["exitStatus"].number, run.exitCode) << run.errors;
  EXPECT_FALSE(document["computer"].text.empty());
  EXPECT_EQ(document["started"].text.size(), 20u);
  {
    SCOPED_TRACE(run.output);
    ASSERT_NO_FATAL_FAILURE(testjson::expectFindingsMatchLog(document, lines));
  }
  EXPECT_NE(document["statistics"]["deleted"].number, 0);

  // Nothing is left beside it: the specimen was deleted, the new file took the report's name.
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((scratch.path() + "\\*").c_str(), &entry);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  EXPECT_EQ(names, std::vector<std::string>{"report.json"});
}

TEST(CliReport, AReportThatCannotBeWrittenIsNamedWithItsOwnStatus) {
  ASSERT_TRUE(wintest::setWineVersion("vandrel-cli.exe", "winxp"));
  wintest::ScratchFolder scratch;
  std::string report = scratch.path() + "\\no such folder\\report.json";

  wintest::ProgramRun run = wintest::runProgram("vandrel-cli.exe", "--report \"" + report + "\"");

  EXPECT_EQ(run.exitCode, 5) << run.output << run.errors;
  EXPECT_NE(run.errors.find(report), std::string::npos) << run.errors;

  wintest::ProgramRun missing = wintest::runProgram("vandrel-cli.exe", "--report");
  EXPECT_EQ(missing.exitCode, 3);
}

}  // namespace
