// Paths an installation's own settings give, taken below the root only where they lie on its
// system drive, their variables expanded from what the installation says; and registry strings
// read as the UTF-8 that names on the mount are spelt in.
#include <gtest/gtest.h>

#include <string>

#include "platform/offline/hive_text.h"
#include "platform/offline/installation_paths.h"

namespace {

using platform::offline::expandVariables;
using platform::offline::relativeToSystemDrive;
using platform::offline::Variables;

const Variables kVariables = {{"SystemDrive", "C:"},
                              {"SystemRoot", R"(C:\WINDOWS)"},
                              {"USERPROFILE", R"(C:\Documents and Settings\alice)"}};

std::string expanded(const std::string& text) {
  std::string result, why;
  return expandVariables(text, kVariables, result, why) ? result : "refused: " + why;
}

TEST(InstallationPaths, VariablesAreExpandedOnceIgnoringCaseAndUnknownOnesRefused) {
  EXPECT_EQ(expanded(R"(%SystemDrive%\Documents and Settings\alice)"),
            R"(C:\Documents and Settings\alice)");
  EXPECT_EQ(expanded(R"(%userprofile%\Local Settings\Temp)"),
            R"(C:\Documents and Settings\alice\Local Settings\Temp)");
  EXPECT_EQ(expanded(R"(%SYSTEMROOT%\Temp\%)"), R"(C:\WINDOWS\Temp\%)");
  EXPECT_EQ(expanded(R"(C:\100%)"), R"(C:\100%)");
  // A value is not expanded again, so a variable cannot grow a path without bound.
  Variables looping = {{"A", "%A%%A%"}};
  std::string result, why;
  ASSERT_TRUE(expandVariables("%A%", looping, result, why));
  EXPECT_EQ(result, "%A%%A%");
  EXPECT_EQ(expanded(R"(%HOMEDRIVE%\Users)"),
            "refused: it uses %HOMEDRIVE%, which the installation does not say");
  EXPECT_EQ(expanded("%%"), "refused: it uses %%, which the installation does not say");
  Variables huge = {{"BIG", std::string(20000, 'x')}};
  EXPECT_FALSE(expandVariables("%BIG%%BIG%", huge, result, why));
  EXPECT_EQ(why, "it is longer than a Windows path can be");
}

TEST(InstallationPaths, OnlyPlainPathsOnDriveCAreTakenBelowTheRoot) {
  struct Case {
    const char* path;
    const char* relative;  // null: refused
  };
  const Case cases[] = {
      {R"(C:\Documents and Settings\alice)", R"(Documents and Settings\alice)"},
      {R"(c:\Users\bob\)", R"(Users\bob)"},
      {R"(C:/Users//carol)", R"(Users\carol)"},
      {"C:", ""},
      {R"(D:\Profiles\alice)", nullptr},
      {R"(\\server\share\alice)", nullptr},
      {R"(\\?\C:\Users\alice)", nullptr},
      {R"(\Users\alice)", nullptr},
      {R"(Users\alice)", nullptr},
      {R"(C:Users\alice)", nullptr},
      {R"(C:\Users\..\..\etc)", nullptr},
      {R"(C:\Users\.\alice)", nullptr},
      {R"(C:\Users\alice:stream)", nullptr},
      {R"(C:\Users\alice.)", nullptr},
      {R"(C:\Users\alice )", nullptr},
      {"C:\\Users\\al\x1b[2Jice", nullptr},
  };
  for (const Case& c : cases) {
    std::string relative, why;
    bool taken = relativeToSystemDrive(c.path, relative, why);
    if (c.relative == nullptr) {
      EXPECT_FALSE(taken) << c.path;
      EXPECT_FALSE(why.empty()) << c.path;
    } else {
      EXPECT_TRUE(taken) << c.path << ": " << why;
      EXPECT_EQ(relative, c.relative) << c.path;
    }
  }
  std::string relative, why;
  EXPECT_FALSE(relativeToSystemDrive("C:\\" + std::string(40000, 'a'), relative, why));
}

TEST(HiveText, Utf16BecomesUtf8UpToItsTerminatingZero) {
  // "Zoë", U+4E2D, U+1F600 (a surrogate pair), then the terminating zero and what follows it.
  const char stored[] = "Z\0o\0\xEB\0\x2D\x4E\x3D\xD8\x00\xDE\0\0x\0";
  EXPECT_EQ(platform::offline::utf8FromUtf16(stored, sizeof stored - 1),
            "Zo\xC3\xAB\xE4\xB8\xAD\xF0\x9F\x98\x80");
  // A lone surrogate names nothing on the disk; an odd last byte is no character.
  const char lone[] =
      "a\0\x00\xD8"
      "b\0c";
  EXPECT_EQ(platform::offline::utf8FromUtf16(lone, sizeof lone - 1),
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
