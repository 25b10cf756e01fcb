// The report: the JSON writer's escaping and bounds, and the document of a whole scan read back
// by a JSON parser and checked against the log, line for line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/json_writer.h"
#include "contract/worm_footprint.h"
#include "scan/scan_driver.h"
#include "scan/scan_exit_status.h"
#include "scan/scan_report.h"
#include "sim_fixture.h"
#include "specimens/specimens.h"
#include "support/json_value.h"

namespace {

// Windows-1252's letters with an acute accent and the euro sign, enough to tell a conversion.
std::size_t fromTestCodePage(const char* text, char* buffer, std::size_t capacity) {
  std::vector<std::uint16_t> units;
  for (const char* c = text; *c != '\0'; ++c) {
    auto byte = static_cast<unsigned char>(*c);
    units.push_back(byte == 0x80 ? 0x20AC : byte);
  }
  return json::utf16ToUtf8(units.data(), units.size(), buffer, capacity);
}

TEST(JsonWriterTest, NamesAreEscapedAndConvertedFromTheCodePage) {
  json::Writer writer(4096, fromTestCodePage);
  writer.beginObject();
  writer.member("quote\"and\\", "C:\\WINDOWS\\\"x\"");
  writer.member("controls", "a\tb\nc\x01\x1f");
  writer.member("code page", "caf\xe9 \x80");
  writer.key("list");
  writer.beginArray();
  writer.number(-42);
  writer.boolean(true);
  writer.beginObject();
  writer.endObject();
  writer.endArray();
  writer.endObject();
  ASSERT_FALSE(writer.failed());

  testjson::Value document = testjson::parse(writer.text());
  EXPECT_EQ(document["quote\"and\\"].text, "C:\\WINDOWS\\\"x\"");
  EXPECT_EQ(document["controls"].text, "a\tb\nc\x01\x1f");
  EXPECT_EQ(document["code page"].text, "caf\xc3\xa9 \xe2\x82\xac");
  ASSERT_EQ(document["list"].items.size(), 3u);
  EXPECT_EQ(document["list"].items[0].number, -42);
  EXPECT_TRUE(document["list"].items[1].boolean);
}

TEST(JsonWriterTest, WithoutAConverterOnlyAsciiPassesAndBrokenUtf8IsReplaced) {
  json::Writer plain(256, nullptr);
  plain.beginArray();
  plain.string("a\xe9z");
  plain.endArray();
  EXPECT_EQ(testjson::parse(plain.text()).items[0].text, "a\xef\xbf\xbdz");

  json::Writer utf8(256, json::sanitizeUtf8);
  utf8.beginArray();
  utf8.string("ok \xc3\xa9, overlong \xc0\xaf, cut \xe2\x82");
  utf8.endArray();
  EXPECT_EQ(testjson::parse(utf8.text()).items[0].text,
            "ok \xc3\xa9, overlong \xef\xbf\xbd\xef\xbf\xbd, cut \xef\xbf\xbd\xef\xbf\xbd");

  const std::uint16_t lone[] = {'a', 0xD800, 'b', 0xD83D, 0xDE00};
  char buffer[32] = {};
  std::size_t length = json::utf16ToUtf8(lone, 5, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, length),
            "a\xef\xbf\xbd"
            "b\xf0\x9f\x98\x80");
}

TEST(JsonWriterTest, ADocumentThatDoesNotFitFailsAndGivesNoText) {
  json::Writer writer(16, nullptr);
  writer.beginObject();
  writer.member("a long name", "and a long value");
  writer.endObject();
  EXPECT_TRUE(writer.failed());
  EXPECT_EQ(writer.text(), nullptr);

  json::Writer unbalanced(64, nullptr);
  unbalanced.endArray();
  EXPECT_TRUE(unbalanced.failed());
}

class ScanReportTest : public SimTest {
 protected:
  ScanReportTest() {
    sim.processes.setWindowsNt(5);
    sim.files.setWindowsDirectory(R"(C:\WINDOWS)");
    sim.files.setTempDirectory(R"(C:\TEMP\)");
    sim.files.addFile(R"(C:\WINDOWS\win.ini)");
    sim.files.addFile(R"(C:\WINDOWS\system32\msblast.exe)",
                      specimens::build(2, specimens::Variant::Plain)->bytes);
    sim.processes.start(R"(C:\WINDOWS\system32\msblast.exe)");
    sim.files.addFile(R"(C:\TEMP\teekids "quoted".exe)",
                      specimens::build(4, specimens::Variant::Plain)->bytes);
    for (const footprint::RegistryEntry& value : footprint::wormValues()) {
      sim.registry.setString(value.root, value.subkey, value.name, "msblast.exe");
    }
    for (const std::string& service : footprint::wormServiceNames()) {
      sim.services.addService(service, R"(C:\WINDOWS\system32\)" + service + ".exe");
    }
  }

  testjson::Value report(bool dryRun = false) {
    ReportContext context;
    context.program = "vandrel-cli";
    context.computer = "ALICE-PC";
    context.started = "2026-12-08T10:00:00Z";
    context.ended = "2026-12-08T10:00:05Z";
    context.dryRun = dryRun;
    context.exitStatus = scanExitStatus(scanSession());
    json::Writer writer(1 << 20, json::sanitizeUtf8);
    EXPECT_TRUE(writeScanReport(context, writer));
    return testjson::parse(writer.text());
  }
};

TEST_F(ScanReportTest, TheFindingsAreTheLogsFindingLinesInOrder) {
  runScan();
  testjson::Value document = report();

  std::vector<std::string> findingLines;
  for (const std::string& line : written) {
    if (line == "Scanning statistics\t\t:") break;
    if (line != " ") findingLines.push_back(line);
  }
  const testjson::Value& findings = document["findings"];
  ASSERT_EQ(findings.items.size(), findingLines.size()) << testing::PrintToString(written);
  ASSERT_GE(findingLines.size(), 3u);
  for (std::size_t i = 0; i < findingLines.size(); ++i) {
    const testjson::Value& finding = findings.items[i];
    const std::string& object = finding["object"].text;
    std::string ending = finding["variant"].text + " " + finding["outcome"].text;
    const std::string& line = findingLines[i];
    ASSERT_GT(line.size(), object.size() + ending.size()) << line;
    EXPECT_EQ(line.substr(0, object.size()), object);
    EXPECT_EQ(line.substr(line.size() - ending.size()), ending);
    std::string gap = line.substr(object.size(), line.size() - ending.size() - object.size());
    EXPECT_EQ(gap.find_first_not_of(' '), std::string::npos) << line;
  }

  EXPECT_EQ(document["program"].text, "vandrel-cli");
  EXPECT_EQ(document["computer"].text, "ALICE-PC");
  EXPECT_EQ(document["windows"]["family"].text, "nt");
  EXPECT_EQ(document["windows"]["version"].text, "5.0");
  EXPECT_FALSE(document["dryRun"].boolean);
  EXPECT_EQ(document["registry"].items.size(), footprint::wormValues().size());
  EXPECT_EQ(document["registry"].items[0]["hive"].text.rfind("HKEY_", 0), 0u);
  EXPECT_EQ(document["services"].items.size(), footprint::wormServiceNames().size());
  EXPECT_TRUE(document["notExamined"].items.empty());
  const ScanStatistics& statistics = scanSession().statistics;
  EXPECT_EQ(document["statistics"]["scanned"].number, statistics.filesScanned);
  EXPECT_EQ(document["statistics"]["infected"].number, statistics.filesInfected);
  EXPECT_EQ(document["statistics"]["deleted"].number, statistics.filesDeleted);
  EXPECT_EQ(document["restartRequired"].boolean, scanSession().restartRequired != 0);
  EXPECT_EQ(document["reinfection"]["verdict"].text,
            reinfectionName(scanSession().reinfection.verdict));
  EXPECT_EQ(document["exitStatus"].number, scanExitStatus(scanSession()));
}

TEST_F(ScanReportTest, AnInterruptedScanNamesWhatItDidNotExamine) {
  onStatus = [this](const std::string& status) {
    if (status == R"(C:\WINDOWS\win.ini)") scanSession().scanTerminated = 1;
  };
  runScan();
  testjson::Value document = report();
  ASSERT_EQ(document["notExamined"].items.size(), 1u);
  EXPECT_FALSE(document["notExamined"].items[0]["reason"].text.empty());
  EXPECT_EQ(document["exitStatus"].number, scanExitStatus(scanSession()));
}

}  // namespace
