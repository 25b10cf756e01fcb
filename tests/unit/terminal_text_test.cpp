// Names from a disk printed on root's terminal: nothing in them acts on the terminal.
#include <gtest/gtest.h>

#include <string>

#include "common/terminal_text.h"

namespace {

std::string escaped(const std::string& text, std::size_t capacity = 256) {
  std::string out(capacity, '\x7f');
  text::escapeForTerminal(text.c_str(), out.data(), capacity);
  return out.c_str();
}

TEST(TerminalText, ControlsAndBrokenSequencesAreWrittenOutAndTheRestKept) {
  EXPECT_EQ(escaped(R"(C:\Documents and Settings\alice\NTUSER.DAT)"),
            R"(C:\Documents and Settings\alice\NTUSER.DAT)");
  EXPECT_EQ(escaped("Total files scanned\t\t:  12"), "Total files scanned\t\t:  12");
  // An escape sequence that would erase the line and write a fake one.
  EXPECT_EQ(escaped("bob\x1b[2K\rvandrel-rescue: written"),
            "bob\\x1b[2K\\x0dvandrel-rescue: written");
  EXPECT_EQ(escaped("a\x7f\x08z"), "a\\x7f\\x08z");
  // Well-formed UTF-8 stays; C1 controls, stray and overlong bytes do not.
  EXPECT_EQ(escaped("caf\xc3\xa9 \xe6\x96\x87"), "caf\xc3\xa9 \xe6\x96\x87");
  EXPECT_EQ(escaped("\xc2\x9b"
                    "31m"),
            "\\xc2\\x9b31m");
  EXPECT_EQ(escaped("\xc0\xaf \xed\xa0\x80 \xff"), "\\xc0\\xaf \\xed\\xa0\\x80 \\xff");
  EXPECT_EQ(escaped("\xe6\x96"), "\\xe6\\x96");
}

TEST(TerminalText, WhatDoesNotFitEndsAtAWholeEscape) {
  char out[8];
  EXPECT_FALSE(text::escapeForTerminal("ab\x1b\x1b", out, sizeof out));
  EXPECT_STREQ(out, "ab\\x1b");
  EXPECT_TRUE(text::escapeForTerminal("abc", out, sizeof out));
  EXPECT_STREQ(out, "abc");
}

}  // namespace
