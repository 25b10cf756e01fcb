// Escape, the Cancel prompt's answers and quit messages during a walk.
#include <gtest/gtest.h>

#include "scan/directory_walker.h"
#include "scan/message_pump.h"
#include "sim_fixture.h"

namespace {

using platform::Message;

class CancellationTest : public SimTest {
 protected:
  CancellationTest() {
    scanSession().inMemoryScan = 0;
    sim.files.addFile(R"(C:\W\a.txt)");
    sim.files.addFile(R"(C:\W\SUB\DEEP\y.txt)");
    sim.files.addFile(R"(C:\W\SUB\DEEP\z.txt)");
    sim.files.addFile(R"(C:\W\SUB\later.txt)");
    sim.files.addFile(R"(C:\W\b.txt)");
    sim.files.addFile(R"(C:\W\LATER\c.txt)");
  }

  // Posts `message` as soon as the status line shows `path`.
  void postWhenShown(const std::string& path, Message message) {
    onStatus = [this, path, message](const std::string& status) {
      if (status == path) sim.desktop.post(message);
    };
  }

  static Message escapeKey(std::uint32_t id) { return {0, id, platform::kKeyEscape, 0}; }
};

TEST_F(CancellationTest, EscapeAnsweredNoLetsTheWalkGoOn) {
  sim.desktop.answerMessageBoxes({platform::kAnswerNo});
  postWhenShown(R"(C:\W\SUB\DEEP\y.txt)", escapeKey(platform::kMessageKeyDown));

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 6);

  ASSERT_EQ(sim.desktop.messageBoxes().size(), 1u);
  const sim::ShownMessageBox& box = sim.desktop.messageBoxes()[0];
  EXPECT_EQ(box.text, "Terminate the Scan now?");
  EXPECT_EQ(box.caption, "Warning");
  EXPECT_EQ(box.style, 0x44u);
  EXPECT_EQ(box.owner, window);
  EXPECT_EQ(scanSession().scanTerminated, 0);
}

TEST_F(CancellationTest, EscapeAnsweredYesEndsTheWalkAtOnceOnEveryLevel) {
  sim.desktop.answerMessageBoxes({platform::kAnswerYes});
  postWhenShown(R"(C:\W\SUB\DEEP\y.txt)", escapeKey(platform::kMessageKeyDown));

  EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 0);

  EXPECT_EQ(scanSession().scanTerminated, 1);
  EXPECT_EQ(statusesWithoutDots().back(), R"(C:\W\SUB\DEEP\y.txt)");
  // a.txt, b.txt and later.txt came before; y.txt, just shown, was still offered; z.txt and
  // the folder LATER were not.
  EXPECT_EQ(scanSession().statistics.filesScanned, 4);
}

TEST_F(CancellationTest, AQuitOrDestroyMessageEndsTheWalkWithoutAsking) {
  for (std::uint32_t id : {platform::kMessageQuit, platform::kMessageDestroy}) {
    scanSession().scanTerminated = 0;
    sim.desktop.post({0, id, 0, 0});
    EXPECT_EQ(walkDirectory(R"(C:\W\*.*)"), 0);
    EXPECT_EQ(scanSession().scanTerminated, 1);
  }
  EXPECT_TRUE(sim.desktop.messageBoxes().empty());
  EXPECT_TRUE(sim.desktop.dispatched().empty());
}

TEST_F(CancellationTest, OnlyTheKeyboardsEscapeAsks) {
  // A timer or mouse message whose wParam happens to be 27 is an ordinary message.
  sim.desktop.post({window, platform::kMessageTimer, 27, 0});
  sim.desktop.post({window, platform::kMessageLeftButtonDown, 27, 0});
  // The release and the character of an Escape key are dropped without a prompt.
  sim.desktop.post(escapeKey(platform::kMessageKeyUp));
  sim.desktop.post(escapeKey(platform::kMessageChar));
  for (int i = 0; i < 4; ++i) pumpScanMessages();

  EXPECT_TRUE(sim.desktop.messageBoxes().empty());
  ASSERT_EQ(sim.desktop.dispatched().size(), 2u);
  EXPECT_EQ(sim.desktop.dispatched()[0].id, platform::kMessageTimer);
  EXPECT_EQ(sim.desktop.dispatched()[1].id, platform::kMessageLeftButtonDown);
  EXPECT_EQ(scanSession().scanTerminated, 0);
}

TEST_F(CancellationTest, ThePumpHandlesOneMessageAtATime) {
  sim.desktop.post({window, platform::kMessageTimer, 1, 0});
  sim.desktop.post({window, platform::kMessageTimer, 2, 0});
  pumpScanMessages();
  EXPECT_EQ(sim.desktop.pending(), 1u);
}

}  // namespace
