// perf_data_seeds FOLDER: writes performance data built by hand as seeds for the fuzz target:
// counter titles (selector byte 1) and process blocks (selector byte 0).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/perf_data_block.h"

namespace {

bool writeSeed(const std::string& path, char selector, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.put(selector);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::string asText(const std::vector<std::uint8_t>& block) {
  return std::string(block.begin(), block.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: perf_data_seeds FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  perfdata::BlockBuilder builder;
  perfdata::BlockBuilder withoutId;
  withoutId.withIdCounter = false;
  bool ok =
      writeSeed(folder + "/titles", 1, perfdata::counterTitles()) &&
      writeSeed(folder + "/titles-partial", 1, perfdata::counterTitles(true, false)) &&
      writeSeed(folder + "/block-empty", 0, asText(builder.build({}))) &&
      writeSeed(folder + "/block-processes", 0,
                asText(builder.build(
                    {{"Idle", 0}, {"System", 4}, {"msblast", 0x520}, {"abcdefghijklmnopq", 8}}))) &&
      writeSeed(folder + "/block-without-id", 0, asText(withoutId.build({{"msblast", 8}})));
  return ok ? 0 : 1;
}
