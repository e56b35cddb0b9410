#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "page_text.h"
#include "wizard_fixture.h"

namespace {

using ::testing::ElementsAre;

class PageTextTest : public WizardFixture {};

TEST_F(PageTextTest, BodyHoldsSixLinesAndClipsTheSeventh) {
  CStatusText body = Status();
  body.WriteText("line 1", true);
  for (int i = 2; i <= 8; ++i) body.NewLine(1).WriteText("line " + std::to_string(i));

  const std::vector<TextRun> runs = window.RunsIn(Layout().bodyArea);
  ASSERT_EQ(runs.size(), 7u);  // the eighth line starts below the area: nothing shows
  const int32_t tops[] = {80, 96, 112, 128, 144, 160, 176};
  for (size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].text, "line " + std::to_string(i + 1));
    EXPECT_EQ(runs[i].clip, (Rect{10, tops[i], 484, 180})) << "line " << i + 1;
    EXPECT_EQ(runs[i].font, TextFont::Body);
    EXPECT_EQ(runs[i].background, RecordingWindow::kDefaultButtonFace);
  }
  EXPECT_EQ(runs[6].clip.Height(), 4);  // only the top 4 pixels of line 7
}

TEST_F(PageTextTest, TitleLinesStepBy20InTheTitleFontOnWhite) {
  CTitleText title = Title();
  title.WriteText("first", true).NewLine(1).WriteText("second").NewLine(1).WriteText("third");
  const std::vector<TextRun> runs = window.RunsIn(Layout().titleBand);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].clip, (Rect{10, 10, 484, 59}));
  EXPECT_EQ(runs[1].clip, (Rect{10, 30, 484, 59}));
  EXPECT_EQ(runs[2].clip, (Rect{10, 50, 484, 59}));
  for (const TextRun& run : runs) {
    EXPECT_EQ(run.font, TextFont::Title);
    EXPECT_EQ(run.background, kWhite);
  }
}

TEST_F(PageTextTest, LongLineIsNotWrappedButCutAtTheRightEdge) {
  const std::string longLine(300, 'W');
  Status().WriteText(longLine, true);
  const std::vector<TextRun> runs = window.RunsIn(Layout().bodyArea);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, longLine);
  EXPECT_EQ(runs[0].clip.right, 484);
  EXPECT_EQ(runs[0].clip.top, 80);
}

TEST_F(PageTextTest, AppendsRedrawTheWholeLineAtTheSamePlace) {
  CStatusText status = Status();
  status.WriteText("header", true).NewLine(1);
  status.WriteText("Setting the ").WriteText("8010").WriteText(" ...");
  EXPECT_EQ(status.Line(), "Setting the 8010 ...");
  status.WriteString(407);

  EXPECT_THAT(window.BodyLines(), ElementsAre("header", "Setting the 8010 ...OK"));
  const auto run = window.RunAt(10, 96);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->text, "Setting the 8010 ...OK");
}

TEST_F(PageTextTest, ClearFillsTheAreaAndRestartsAtTheOrigin) {
  CStatusText status = Status();
  status.WriteText("a", true).NewLine(1).WriteText("b").NewLine(2).WriteText("c");
  ASSERT_EQ(window.BodyLines().size(), 3u);

  status.WriteText("fresh", true);
  EXPECT_THAT(window.BodyLines(), ElementsAre("fresh"));
  EXPECT_EQ(status.Cursor(), Layout().bodyArea);
  const FilledArea fill = window.Fills().back();
  EXPECT_EQ(fill.area, (Rect{10, 80, 484, 180}));
  EXPECT_EQ(fill.colour, RecordingWindow::kDefaultButtonFace);
}

TEST_F(PageTextTest, ClearWithEmptyTextErasesAndDrawsNothing) {
  CStatusText status = Status();
  status.WriteText("something", true).NewLine(1).WriteText("more");
  status.WriteText("", true);
  EXPECT_TRUE(window.BodyLines().empty());
  EXPECT_TRUE(status.Line().empty());
}

TEST_F(PageTextTest, ZeroSpacesAndZeroNewLinesDoNothing) {
  CStatusText status = Status();
  status.WriteText("abc", true);
  const size_t drawCalls = window.DrawCalls();
  const Rect cursor = status.Cursor();

  status.WriteSpaces(0).NewLine(0);
  EXPECT_EQ(window.DrawCalls(), drawCalls);
  EXPECT_EQ(status.Cursor(), cursor);

  status.WriteText("d");
  EXPECT_THAT(window.BodyLines(), ElementsAre("abcd"));
}

TEST_F(PageTextTest, SpacesAreAppendedOneAtATime) {
  CStatusText status = Status();
  status.WriteText("x", true).WriteSpaces(3).WriteText("y");
  EXPECT_THAT(window.BodyLines(), ElementsAre("x   y"));
}

TEST_F(PageTextTest, NewLineDrawsNothingUntilTheNextWrite) {
  CStatusText status = Status();
  status.WriteText("one", true);
  const size_t drawCalls = window.DrawCalls();
  status.NewLine(2);
  EXPECT_EQ(window.DrawCalls(), drawCalls);
  EXPECT_EQ(status.Cursor(), (Rect{10, 112, 484, 180}));
  EXPECT_TRUE(status.Line().empty());
}

TEST_F(PageTextTest, NewWriterStartsAtItsOriginOverEarlierText) {
  Status().WriteText("old 1", true).NewLine(1).WriteText("old 2").NewLine(1).WriteText("old 3");
  CStatusText later = Status();
  EXPECT_EQ(later.Cursor(), Layout().bodyArea);
  later.WriteText("new 1");
  // Without a clear only the line at the new writer's cursor is redrawn.
  EXPECT_THAT(window.BodyLines(), ElementsAre("new 1", "old 2", "old 3"));
}

TEST_F(PageTextTest, BackgroundFollowsTheSystemColourReadAtStart) {
  const Rgb face{212, 208, 200};
  window.SetSystemColour(SystemColour::ButtonFace, face);
  wizard.InitCore();
  Status().WriteText("x", true);
  EXPECT_EQ(window.Fills().back().colour, face);
  EXPECT_EQ(window.RunsIn(Layout().bodyArea).at(0).background, face);

  // Read once: a later change of the system colour is not followed.
  window.SetSystemColour(SystemColour::ButtonFace, Rgb{1, 2, 3});
  Status().WriteText("y", true);
  EXPECT_EQ(window.Fills().back().colour, face);
}

TEST_F(PageTextTest, SeparatorsAreShadowOverWhiteAtRows70And340) {
  const Rgb shadow{128, 128, 128};
  window.SetSystemColour(SystemColour::ButtonShadow, shadow);
  wizard.InitCore();
  wizard.DrawSeparators();

  const std::vector<DrawnLine> lines = window.Lines();
  ASSERT_EQ(lines.size(), 4u);
  struct Expected {
    int32_t row;
    Rgb colour;
  };
  const Expected expected[] = {{70, shadow}, {340, shadow}, {71, kWhite}, {341, kWhite}};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].from, (Point{0, expected[i].row})) << i;
    EXPECT_EQ(lines[i].to, (Point{494, expected[i].row})) << i;
    EXPECT_EQ(lines[i].colour, expected[i].colour) << i;
  }
}

}  // namespace
