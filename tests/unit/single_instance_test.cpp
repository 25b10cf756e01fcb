// One copy of the program at a time, and no other program can pass for one.
#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "system/single_instance.h"

namespace {

constexpr char kCaption[] = "Vandrel Ver 4.0";
constexpr char kMark[] = "Vandrel.Ver4.0.Running";

class SingleInstanceTest : public SimTest {
 protected:
  SingleInstanceTest() {
    sim.files.addFile(sim.processes.ownImage, "MZ vandrel");
    sim.files.addFile(R"(C:\TOOLS\lookalike.exe)", "MZ another program");
  }
  platform::ProcessId showWindow(const std::string& image) {
    platform::ProcessId id = sim.processes.start(image);
    sim.processes.process(id).windows = 1;
    sim.processes.process(id).windowTitle = kCaption;
    return id;
  }
  bool secondCopyRefused() {
    platform::ScopedNamedMark mark;
    return anotherCopyRuns(kCaption, mark);
  }
};

TEST_F(SingleInstanceTest, ARunningCopyOfThisProgramRefusesASecond) {
  sim.processes.setWindowsNt(5);
  platform::ScopedNamedMark first;
  ASSERT_FALSE(anotherCopyRuns(kCaption, first));
  showWindow(sim.processes.ownImage);
  EXPECT_TRUE(secondCopyRefused());

  sim.processes.setWindows98();
  EXPECT_TRUE(secondCopyRefused());
}

TEST_F(SingleInstanceTest, AnotherProgramsWindowOrMarkStopsNothing) {
  for (std::uint32_t major : {4u, 5u}) {
    sim.processes.setWindowsNt(major);
    // A window with our caption from another program, with and without our mark held.
    showWindow(R"(C:\TOOLS\lookalike.exe)");
    EXPECT_FALSE(secondCopyRefused()) << "NT " << major;
    sim.processes.foreignMarks.insert(kMark);
    EXPECT_FALSE(secondCopyRefused()) << "NT " << major;
  }
  // The mark alone, with no window of ours.
  sim.processes.setWindows98();
  EXPECT_FALSE(secondCopyRefused());
}

}  // namespace
