#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/hyperlink_label_state.h"

namespace {

constexpr std::uint32_t kBlue = rgbColor(0, 0, 238);
constexpr std::uint32_t kPurple = rgbColor(85, 26, 139);
const char kAddress[] = "http://www.korvane.example/download/download.htm";

// A stand-in for the system's handler of web addresses.
struct Browser : HyperlinkLabelState::Opener {
  bool accepts = true;
  std::vector<std::string> opened;
  bool open(const char* address) override {
    opened.emplace_back(address);
    return accepts;
  }
  HyperlinkLabelState::Opener& opener() { return *this; }
};

class HyperlinkLabelStateTest : public ::testing::Test {
 protected:
  HyperlinkLabelStateTest() { label.takeTarget(kAddress); }
  HyperlinkLabelState label;
  Browser browser;
};

TEST_F(HyperlinkLabelStateTest, PaintsBlueUntilOpenedThenPurpleExceptWhileHovered) {
  EXPECT_EQ(label.textColor(), kBlue);
  EXPECT_EQ(kBlue, 0x00EE0000u) << "red in the low byte, as the system stores colours";

  EXPECT_TRUE(label.clicked(browser.opener()));
  EXPECT_EQ(label.textColor(), kPurple);

  label.pointerMoved();
  EXPECT_EQ(label.textColor(), kBlue);
  label.pollTick(false);
  EXPECT_EQ(label.textColor(), kPurple);
}

TEST_F(HyperlinkLabelStateTest, AFailedOpeningAfterASuccessfulOneTurnsItBlueAgain) {
  label.clicked(browser.opener());
  ASSERT_EQ(label.visited(), 1);
  browser.accepts = false;
  EXPECT_FALSE(label.clicked(browser.opener()));
  EXPECT_EQ(label.visited(), 0);
  EXPECT_EQ(label.textColor(), kBlue);
}

TEST_F(HyperlinkLabelStateTest, HoveringStartsOnceAndEndsOnlyAtATickWithThePointerOutside) {
  EXPECT_TRUE(label.pointerMoved()) << "the first movement starts hovering";
  EXPECT_FALSE(label.pointerMoved())
      << "further movements neither restart the poll nor re-send the font";
  EXPECT_FALSE(label.pollTick(true));
  EXPECT_EQ(label.hovering(), 1);
  EXPECT_TRUE(label.pollTick(false));
  EXPECT_EQ(label.hovering(), 0);
  EXPECT_TRUE(label.pointerMoved()) << "coming back hovers again";
}

TEST_F(HyperlinkLabelStateTest, AClickPaintsRestingColoursWhileThePointerStaysUntilItMovesAgain) {
  label.pointerMoved();
  label.clicked(browser.opener());
  EXPECT_EQ(label.hovering(), 0);
  EXPECT_EQ(label.textColor(), kPurple);
  // A tick with the pointer still inside changes nothing; the next movement hovers again.
  EXPECT_FALSE(label.pollTick(true));
  EXPECT_TRUE(label.pointerMoved());
  EXPECT_EQ(label.textColor(), kBlue);
}

TEST_F(HyperlinkLabelStateTest, OpensExactlyTheControlsTextAndKeepsTheFirstAddress) {
  label.takeTarget("http://elsewhere.example/");
  label.clicked(browser.opener());
  EXPECT_EQ(browser.opened, std::vector<std::string>{kAddress});
  EXPECT_STREQ(label.target(), kAddress);
}

TEST(HyperlinkLabelStateLimits, AnAddressOf259CharactersOpensOneOf260IsRefusedUnopened) {
  Browser browser;
  std::string longest = "http://" + std::string(252, 'a');
  ASSERT_EQ(longest.size(), 259u);
  HyperlinkLabelState fits;
  fits.takeTarget(longest.c_str());
  EXPECT_TRUE(fits.clicked(browser.opener()));
  EXPECT_EQ(browser.opened, std::vector<std::string>{longest});

  HyperlinkLabelState tooLong;
  tooLong.takeTarget((longest + "b").c_str());
  EXPECT_FALSE(tooLong.clicked(browser.opener()));
  EXPECT_EQ(browser.opened.size(), 1u) << "a cut address must never be opened";
  EXPECT_EQ(tooLong.visited(), 0);
}

}  // namespace
