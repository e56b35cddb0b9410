#include <gtest/gtest.h>

#include "layout.h"

namespace {

TEST(Layout, WizardWindowGeometry) {
  const WizardLayout& l = Layout();
  EXPECT_EQ(l.window, (Rect{0, 0, 500, 410}));
  EXPECT_EQ(l.client, (Rect{0, 0, 494, 410}));
  EXPECT_EQ(l.topSeparator.from, (Point{0, 70}));
  EXPECT_EQ(l.topSeparator.to, (Point{494, 70}));
  EXPECT_EQ(l.bottomSeparator.from, (Point{0, 340}));
  EXPECT_EQ(l.bottomSeparator.to, (Point{494, 340}));
  EXPECT_EQ(l.buttons[0], (Rect{210, 350, 298, 373}));
  EXPECT_EQ(l.buttons[1], (Rect{306, 350, 394, 373}));
  EXPECT_EQ(l.buttons[2], (Rect{402, 350, 490, 373}));
  EXPECT_EQ(l.titleBand, (Rect{0, 0, 494, 69}));
  EXPECT_EQ(l.titleOrigin, (Rect{10, 10, 484, 59}));
  EXPECT_EQ(l.bodyArea, (Rect{10, 80, 484, 180}));
  EXPECT_EQ(l.progressBar, (Rect{30, 200, 464, 220}));
}

TEST(Layout, EverythingMovesWithTheWindowSize) {
  const WizardLayout l = ComputeLayout(600, 500);
  EXPECT_EQ(l.client, (Rect{0, 0, 594, 500}));
  EXPECT_EQ(l.bottomSeparator.from, (Point{0, 430}));
  EXPECT_EQ(l.buttons[0], (Rect{210, 440, 298, 463}));
  EXPECT_EQ(l.titleOrigin, (Rect{10, 10, 584, 59}));
  EXPECT_EQ(l.bodyArea, (Rect{10, 80, 584, 180}));
  EXPECT_EQ(l.progressBar, (Rect{30, 200, 564, 220}));
}

TEST(Layout, LineStepsFollowTheFonts) {
  EXPECT_EQ(LineStep(TextFont::Title), 20);
  EXPECT_EQ(LineStep(TextFont::Body), 16);
}

}  // namespace
