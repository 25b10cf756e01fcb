// What SimulatedWindows adds to the contract about a process's image: where the system cannot
// tell it, and the path that reaches an image whose name has moved or that the code page cannot
// spell.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/sim/simulated_windows.h"

namespace {

class ImageIdentityTest : public ::testing::Test {
 protected:
  ~ImageIdentityTest() override { EXPECT_EQ(machine.openHandleCount(), 0u) << machine.dump(); }

  platform::ProcessId startFrom(const std::string& path) {
    machine.files.addFile(path, "MZ");
    return machine.processes.start(path);
  }

  struct Told {
    bool identified = false;
    platform::FileIdentity identity;
    std::string path;
  };
  Told ask(platform::ProcessId id) {
    Told told;
    platform::ScopedProcess process(machine.processes.openProcess(
        id, platform::kProcessQueryInformation | platform::kProcessVmRead));
    EXPECT_TRUE(process.valid());
    told.identified = machine.processes.imageIdentity(process.get(), told.identity);
    char path[platform::kMaxPath] = "unchanged";
    machine.processes.mappedImagePath(process.get(), path, sizeof path);
    told.path = path;
    return told;
  }

  bool isFileAt(const platform::FileIdentity& identity, const std::string& path) {
    platform::FileIdentity there;
    return machine.files.identifyPath(path.c_str(), there) && platform::sameFile(identity, there);
  }

  sim::SimulatedWindows machine;
};

TEST_F(ImageIdentityTest, CannotBeToldWhereTheSystemHasNoWayToAsk) {
  struct Case {
    const char* name;
    std::function<void(sim::SimulatedWindows&, platform::ProcessId)> arrange;
  };
  const Case cases[] = {
      {"Windows 98",
       [](sim::SimulatedWindows& m, platform::ProcessId) { m.processes.setWindows98(); }},
      {"no native layer", [](sim::SimulatedWindows& m,
                             platform::ProcessId) { m.processes.nativeLayerPresent = false; }},
      {"the system cannot tell",
       [](sim::SimulatedWindows& m, platform::ProcessId id) {
         m.processes.process(id).imageKnown = false;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimulatedWindows fresh;
    fresh.files.addFile(R"(C:\APPS\tool.exe)", "MZ");
    platform::ProcessId id = fresh.processes.start(R"(C:\APPS\tool.exe)");
    c.arrange(fresh, id);
    platform::ScopedProcess process(fresh.processes.openProcess(
        id, platform::kProcessQueryInformation | platform::kProcessVmRead));
    platform::FileIdentity identity;
    EXPECT_FALSE(fresh.processes.imageIdentity(process.get(), identity));
    char path[platform::kMaxPath] = "unchanged";
    EXPECT_EQ(fresh.processes.mappedImagePath(process.get(), path, sizeof path), 0u);
    EXPECT_STREQ(path, "");
  }
}

// A file named with a fullwidth 'e' reads as "editor.exe" in the code page, where another user
// has put a file of that plain name: the path given is the image's short name, never the
// look-alike's.
TEST_F(ImageIdentityTest, AnImageNamedOutsideTheCodePageIsReachedByItsShortName) {
  std::string shortPath =
      machine.files.addFileOutsideTheCodePage(R"(C:\SHARED)", "editor.exe", "EDITOR~1.EXE", "MZ");
  machine.files.addFile(R"(C:\SHARED\editor.exe)", "MZ look-alike");
  platform::ProcessId id = machine.processes.start(shortPath);
  machine.processes.process(id).imagePath = R"(C:\SHARED\editor.exe)";

  Told told = ask(id);
  ASSERT_TRUE(told.identified);
  EXPECT_EQ(told.path, R"(C:\SHARED\EDITOR~1.EXE)");
  EXPECT_TRUE(isFileAt(told.identity, told.path));
  EXPECT_FALSE(isFileAt(told.identity, R"(C:\SHARED\editor.exe)"));
}

TEST_F(ImageIdentityTest, TheImageIsFollowedWhenAFolderAboveItIsRenamed) {
  platform::ProcessId id = startFrom(R"(C:\APPS\TOOL\tool.exe)");
  Told before = ask(id);
  ASSERT_TRUE(machine.files.rename(R"(C:\APPS\TOOL)", R"(C:\APPS\Old Tool)"));
  machine.files.addFile(R"(C:\APPS\TOOL\tool.exe)", "MZ look-alike");

  Told after = ask(id);
  ASSERT_TRUE(after.identified);
  EXPECT_TRUE(platform::sameFile(after.identity, before.identity));
  EXPECT_EQ(after.path, R"(C:\APPS\Old Tool\tool.exe)");
  EXPECT_FALSE(isFileAt(after.identity, R"(C:\APPS\TOOL\tool.exe)"));
}

}  // namespace
