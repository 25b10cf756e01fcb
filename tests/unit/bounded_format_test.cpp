// The program's own formatter against the C library's, for every conversion it understands, and
// its bounds where the two differ on purpose.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "common/bounded_format.h"
#include "common/bounded_text.h"

// The comparisons cut texts and pass malformed patterns on purpose.
#pragma GCC diagnostic ignored "-Wformat-truncation"
#pragma GCC diagnostic ignored "-Wformat"

namespace {

// Formats with both and expects the same text, and the same verdict on whether it fit.
template <typename... Arguments>
void expectLikeTheCLibrary(std::size_t capacity, const char* pattern, Arguments... arguments) {
  std::string ours(capacity, '\x7f');
  std::string theirs(capacity, '\x7f');
  bool fit = text::format(ours.data(), capacity, pattern, arguments...);
  int length = std::snprintf(theirs.data(), capacity, pattern, arguments...);
  EXPECT_EQ(std::string(ours.c_str()), std::string(theirs.c_str())) << pattern;
  EXPECT_EQ(fit, length >= 0 && static_cast<std::size_t>(length) < capacity) << pattern;
}

TEST(BoundedFormat, WritesEveryConversionItUnderstandsAsTheCLibraryDoes) {
  expectLikeTheCLibrary(64, "Total files scanned\t\t:  %d", 1234);
  expectLikeTheCLibrary(64, "%s     %s deleted", R"(C:\WINDOWS\msblast.exe)", "W32/Blaster.Worm");
  expectLikeTheCLibrary(64, "%s\\%03x", "perflib", 9);
  expectLikeTheCLibrary(64, "[%d|%i|%u|%x|%X|%c|%%]", -42, 7, 4000000000u, 0xbeefu, 0xbeefu, 'q');
  expectLikeTheCLibrary(64, "[%5d|%-5d|%05d|%-05d|%05d]", 42, 42, 42, 42, -42);
  expectLikeTheCLibrary(64, "[%8s|%-8s|%.3s|%.*s|%*s]", "abc", "abc", "abcdef", 2, "xyz", 4, "z");
  expectLikeTheCLibrary(64, "[%d|%d|%ld|%lu]", INT_MIN, INT_MAX, LONG_MIN, ULONG_MAX);
  expectLikeTheCLibrary(64, "[%lld|%llu|%llx]", LLONG_MIN, ULLONG_MAX, 0x123456789abcdefULL);
  expectLikeTheCLibrary(64, "[%zu|%hu|%hhd]", static_cast<std::size_t>(-1), 65535, 12);
  expectLikeTheCLibrary(64, "%s", "");
  expectLikeTheCLibrary(64, "no conversion at all");
}

TEST(BoundedFormat, KeepsWhatFitsZeroTerminatedAndSaysItWasCut) {
  expectLikeTheCLibrary(8, "%s", "exactly7");
  expectLikeTheCLibrary(8, "%s", "seven77");
  expectLikeTheCLibrary(5, "%d%d", 123, 456);
  expectLikeTheCLibrary(1, "%s", "x");

  char untouched = 'u';
  EXPECT_FALSE(text::format(&untouched, 0, "%s", "x"));
  EXPECT_EQ(untouched, 'u');
}

TEST(BoundedFormat, RefusesConversionsItDoesNotUnderstandAfterTheTextBeforeThem) {
  char line[32];
  EXPECT_FALSE(text::format(line, sizeof line, "ratio %f", 0.5));
  EXPECT_STREQ(line, "ratio ");
  int written = 0;
  EXPECT_FALSE(text::format(line, sizeof line, "a%nb", &written));
  EXPECT_STREQ(line, "a");
  EXPECT_EQ(written, 0);
  EXPECT_FALSE(text::format(line, sizeof line, "trailing %"));
  EXPECT_STREQ(line, "trailing ");
}

// The sink sees the text in pieces; together they are the whole text, however long.
TEST(BoundedFormat, ASinkReceivesTheWholeTextWithoutAnyBound) {
  struct Collect final : text::FormatSink {
    std::string text;
    void put(const char* piece, std::size_t length) override { text.append(piece, length); }
  } sink;
  std::string name(5000, 'n');
  auto formatTo = [&](const char* pattern, ...) {
    va_list arguments;
    va_start(arguments, pattern);
    bool understood = text::formatTo(sink, pattern, arguments);
    va_end(arguments);
    return understood;
  };
  EXPECT_TRUE(formatTo("<%s>%d", name.c_str(), 5));
  EXPECT_EQ(sink.text, "<" + name + ">5");
}

}  // namespace
