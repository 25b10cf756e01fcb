// Replays the fuzz target's seeds (every specimen) and the kept crashers in the ordinary test
// run, so that a fixed crash stays fixed under the sanitizers without libFuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "specimens/specimens.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Exactly `bytes.size()` bytes of their own, so that a read past the end is caught.
void replay(const std::string& bytes) {
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
  std::copy(bytes.begin(), bytes.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

TEST(FuzzReplay, TheSeedsAndTheKeptCrashersRunClean) {
  int replayed = 0;
  for (const specimens::Specimen& specimen : specimens::all()) {
    replay(specimen.bytes);
    ++replayed;
  }
  for (const auto& entry : std::filesystem::directory_iterator(VANDREL_FUZZ_CRASHERS)) {
    if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
    std::ifstream file(entry.path(), std::ios::binary);
    replay(std::string(std::istreambuf_iterator<char>(file), {}));
    ++replayed;
  }
  EXPECT_GT(replayed, 100);
}

}  // namespace
