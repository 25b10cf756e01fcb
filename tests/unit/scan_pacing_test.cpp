// How often the walk looks at the message queue and the scanning window repaints its status
// line: paced by the clock, so that the window costs little more than the scan, yet never
// slower than a person notices.
#include <gtest/gtest.h>

#include <optional>

#include "platform/os.h"
#include "scan/message_pump.h"
#include "scan/status_line_pacing.h"
#include "sim_fixture.h"

namespace {

TEST_F(SimTest, PassingEntriesArePaintedAtMostOnceAnIntervalOtherTextsAtOnce) {
  StatusLinePacing pacing;
  EXPECT_TRUE(pacing.paintNow(true)) << "the first entry shows at once";
  EXPECT_FALSE(pacing.paintNow(true));
  sim.clock.advance(kStatusRepaintIntervalMs - 1);
  EXPECT_FALSE(pacing.paintNow(true));
  sim.clock.advance(1);
  EXPECT_TRUE(pacing.paintNow(true));
  // Twenty entries a millisecond for a second: twenty paints, never fewer than ten.
  int paints = 0;
  for (int ms = 0; ms < 1000; ++ms, sim.clock.advance(1)) {
    for (int entry = 0; entry < 20; ++entry) paints += pacing.paintNow(true);
  }
  EXPECT_GE(paints, 10);
  EXPECT_LE(paints, 1000 / static_cast<int>(kStatusRepaintIntervalMs) + 1);
  // A final text or a finding never waits, however soon it follows.
  EXPECT_TRUE(pacing.paintNow(false));
  EXPECT_TRUE(pacing.paintNow(false));
}

TEST_F(SimTest, AHeldBackEntryIsOwedOnePaintAndOnlyOne) {
  StatusLinePacing pacing;
  EXPECT_FALSE(pacing.catchUp()) << "nothing held back yet";
  ASSERT_TRUE(pacing.paintNow(true));
  ASSERT_FALSE(pacing.paintNow(true));
  EXPECT_TRUE(pacing.catchUp());
  EXPECT_FALSE(pacing.catchUp());
  // A catch-up counts as a paint: the next entry waits its interval again.
  EXPECT_FALSE(pacing.paintNow(true));
  // A text shown at once settles what was owed.
  EXPECT_TRUE(pacing.paintNow(false));
  EXPECT_FALSE(pacing.catchUp());
}

TEST_F(SimTest, TheClockWrappingRoundDoesNotStopThePainting) {
  sim.clock.advance(0xFFFFFFF0u);
  StatusLinePacing pacing;
  ASSERT_TRUE(pacing.paintNow(true));
  sim.clock.advance(kStatusRepaintIntervalMs);  // past 2^32
  EXPECT_TRUE(pacing.paintNow(true));
}

// A window system whose input is not in the queue until a peek fetches it, as Wine's display
// events are: the cheap question says nothing is waiting.
class UnqueuedInputDesktop : public sim::SimDesktop {
 public:
  bool messageWaiting() override { return false; }
  bool peekMessage(platform::Message& message) override {
    ++peeks;
    return sim::SimDesktop::peekMessage(message);
  }
  int peeks = 0;
};

class QuietPumpTest : public SimTest {
 protected:
  QuietPumpTest() {
    platform::Os os = platform::installed();
    os.desktop = &desktop;
    installed.emplace(os);
  }
  UnqueuedInputDesktop desktop;
  std::optional<platform::ScopedInstall> installed;
};

TEST_F(QuietPumpTest, AQuietQueueIsPeekedAtMostOnceAnIntervalAndStillAnswered) {
  sim.clock.advance(1000);
  pumpScanMessages();
  int first = desktop.peeks;
  EXPECT_EQ(first, 1);
  for (int i = 0; i < 100; ++i) pumpScanMessages();
  EXPECT_EQ(desktop.peeks, first) << "no time has passed";

  // Escape arrives unqueued; within the interval the walk sees it.
  desktop.post({0, platform::kMessageKeyDown, platform::kKeyEscape, 0});
  desktop.answerMessageBoxes({platform::kAnswerYes});
  sim.clock.advance(20);
  pumpScanMessages();
  EXPECT_EQ(desktop.messageBoxes().size(), 1u);
  EXPECT_EQ(scanSession().scanTerminated, 1);
}

TEST_F(SimTest, AWaitingMessageIsPeekedAtOnceWithoutWaitingForTheClock) {
  sim.desktop.answerMessageBoxes({platform::kAnswerYes});
  pumpScanMessages();
  sim.desktop.post({0, platform::kMessageKeyDown, platform::kKeyEscape, 0});
  pumpScanMessages();
  EXPECT_EQ(scanSession().scanTerminated, 1);
  EXPECT_EQ(sim.desktop.pending(), 0u);
}

}  // namespace
