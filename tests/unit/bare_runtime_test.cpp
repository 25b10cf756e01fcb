// The portable parts of the shipped programs' own runtime, on the host: the command line split as
// the system's C runtime splits it, and 64-bit division done 32 bits at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/command_line.h"
#include "runtime/division.h"

namespace {

std::vector<std::string> split(const char* line) {
  char storage[256];
  char* arguments[32];
  int count = runtime::splitCommandLine(line, storage, sizeof storage, arguments, 32);
  if (count < 0) return {"<does not fit>"};
  EXPECT_EQ(arguments[count], nullptr) << line;
  return std::vector<std::string>(arguments, arguments + count);
}

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsAsTheSystemsCRuntimeDoes) {
  EXPECT_EQ(split(R"(vandrel-cli.exe)"), Arguments{"vandrel-cli.exe"});
  EXPECT_EQ(split(R"(vandrel-cli.exe   --restart	--help  )"),
            (Arguments{"vandrel-cli.exe", "--restart", "--help"}));
  // The program's name keeps its backslashes and loses its quotes.
  EXPECT_EQ(split(R"("C:\Program Files\v\vandrel-identify.exe" C:\WINDOWS\)"),
            (Arguments{R"(C:\Program Files\v\vandrel-identify.exe)", R"(C:\WINDOWS\)"}));
  EXPECT_EQ(split(R"(x "a b" c"d e"f "")"), (Arguments{"x", "a b", "cd ef", ""}));
  // Backslashes count only before a quote: 2n give n and the quote groups, 2n+1 give n and a
  // literal quote.
  EXPECT_EQ(split(R"(x a\\b a\\\"b "a\\" b)"),
            (Arguments{"x", R"(a\\b)", R"(a\"b)", R"(a\)", "b"}));
  EXPECT_EQ(split(R"(x \"quoted\" "in ""double"" quotes")"),
            (Arguments{"x", R"("quoted")", R"(in "double" quotes)"}));
  EXPECT_EQ(split(R"(x "unclosed quote  at end)"), (Arguments{"x", "unclosed quote  at end"}));
  EXPECT_EQ(split(""), Arguments{""});
}

TEST(CommandLine, RefusesWhatDoesNotFitRatherThanCutIt) {
  char storage[8];
  char* arguments[4];
  EXPECT_EQ(runtime::splitCommandLine("p 12345678", storage, sizeof storage, arguments, 4), -1);
  EXPECT_EQ(runtime::splitCommandLine("p a b c d", storage, sizeof storage, arguments, 4), -1);
  EXPECT_EQ(runtime::splitCommandLine("p a b", storage, sizeof storage, arguments, 4), 3);
}

TEST(CommandLine, TheTailIsWhatFollowsTheProgramsName) {
  EXPECT_STREQ(runtime::commandTail(R"("C:\a b\vandrel.exe"   -x "y")"), R"(-x "y")");
  EXPECT_STREQ(runtime::commandTail("vandrel.exe"), "");
}

TEST(Division, AgreesWithTheProcessorsOwnOnEdgesAndRandomNumbers) {
  std::vector<std::uint64_t> numbers = {0,
                                        1,
                                        2,
                                        3,
                                        7,
                                        10,
                                        0xFFFFFFFFu,
                                        0x100000000u,
                                        0x123456789ABCDEFull,
                                        0x7FFFFFFFFFFFFFFFull,
                                        0x8000000000000000ull,
                                        ~0ull};
  std::mt19937_64 random(2026);
  for (int i = 0; i < 2000; ++i) numbers.push_back(random() >> (random() % 64));
  for (std::uint64_t a : numbers) {
    for (std::uint64_t b : std::initializer_list<std::uint64_t>{
             numbers[1], numbers[3], numbers[6], numbers[7], numbers[8],
             numbers[(a % numbers.size())], std::uint64_t{~0ull}}) {
      if (b == 0) continue;
      std::uint64_t remainder = 0;
      ASSERT_EQ(runtime::divideUnsigned(a, b, remainder), a / b) << a << " / " << b;
      ASSERT_EQ(remainder, a % b) << a << " % " << b;
      auto x = static_cast<std::int64_t>(a), y = static_cast<std::int64_t>(b);
      if (y == -1 && x == INT64_MIN) continue;
      std::int64_t signedRemainder = 0;
      ASSERT_EQ(runtime::divideSigned(x, y, signedRemainder), x / y) << x << " / " << y;
      ASSERT_EQ(signedRemainder, x % y) << x << " % " << y;
    }
  }
}

}  // namespace
