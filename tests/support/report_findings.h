// What a report's findings must be beside the log the same run printed: one finding for each
// line before the statistics block (the blank line left out), in the same order, each line
// beginning with the finding's object and ending with its variant and outcome.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/json_value.h"

namespace testjson {

inline void expectFindingsMatchLog(const Value& document, const std::vector<std::string>& log) {
  std::vector<std::string> findingLines;
  for (const std::string& line : log) {
    if (line == "Scanning statistics\t\t:") break;
    if (line != " ") findingLines.push_back(line);
  }
  const Value& findings = document["findings"];
  ASSERT_EQ(findings.items.size(), findingLines.size());
  ASSERT_FALSE(findingLines.empty());
  for (std::size_t i = 0; i < findingLines.size(); ++i) {
    const std::string& line = findingLines[i];
    const std::string& object = findings.items[i]["object"].text;
    std::string ending =
        findings.items[i]["variant"].text + " " + findings.items[i]["outcome"].text;
    EXPECT_EQ(line.substr(0, object.size()), object);
    EXPECT_EQ(line.substr(line.size() - ending.size()), ending);
  }
}

}  // namespace testjson
