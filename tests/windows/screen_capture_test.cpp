// Whether a program of this lane can copy the screen, as the window tests need for colours and
// screenshots. Pinned both ways, so that the day Wine's WoW64 mode gives 32-bit programs memory
// device contexts, the 32-bit lane fails here and its window tests can look at colours too.
#include <gtest/gtest.h>

#include "windows/window_test_support.h"
#include "windows/windows_support.h"

namespace wintest {
namespace {

TEST(ScreenCapture, WorksExactlyInTheLanesWhoseWindowTestsLookAtColours) {
  ProgramRun run = runProgram("vandrel-screen-capture.exe", "");
  if (kCanCaptureTheScreen) {
    EXPECT_EQ(run.exitCode, 0) << run.output;
  } else {
    EXPECT_EQ(run.exitCode, 1) << "the screen can be copied now: let kCanCaptureTheScreen hold "
                                  "in this lane\n"
                               << run.output;
  }
}

}  // namespace
}  // namespace wintest
