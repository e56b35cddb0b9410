#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compiled_in_resources.h"
#include "page_text.h"
#include "string_table.h"
#include "wizard_fixture.h"

namespace {

using ::testing::ElementsAre;

class PagesTest : public WizardFixture {
 protected:
  // Every button default and no focus, so a page must set both itself.
  void MessUpButtons() {
    for (int i = 0; i < 3; ++i) {
      window.SetButtonDefault(i, true);
      window.EnableButton(i, true);
      window.SetButtonCaption(i, "stale");
    }
    window.ClearFocus();
  }

  std::vector<int32_t> BodyTops() const {
    std::vector<int32_t> tops;
    for (const TextRun& run : window.RunsIn(Layout().bodyArea)) tops.push_back(run.clip.top);
    return tops;
  }
};

struct ButtonPage {
  uint8_t state;
  uint32_t captions[3];
  bool enabled[3];
  int defaultButton;  // -1: none, and the focus stays where it was
};

const ButtonPage kButtonPages[] = {
    {STATE_WELCOME, {500, 502, 505}, {true, false, true}, 2},
    {STATE_CONNECTING, {500, 502, 501}, {false, false, false}, -1},
    {STATE_RUNNING, {500, 502, 501}, {true, false, false}, 0},
    {STATE_COMPLETE, {500, 504, 503}, {false, true, true}, 2},
    {STATE_CANCELLED, {500, 502, 503}, {false, true, true}, 2},
    {STATE_CANCELLING, {500, 502, 501}, {false, false, false}, -1},
};

TEST_F(PagesTest, ButtonsOfEveryPageInBothLanguages) {
  for (UiLanguage language : {UiLanguage::English, UiLanguage::Japanese}) {
    window.SetLanguage(language);
    for (const ButtonPage& page : kButtonPages) {
      SCOPED_TRACE(testing::Message()
                   << "state " << int{page.state} << " language " << int(language));
      MessUpButtons();
      ShowState(page.state);
      for (int i = 0; i < 3; ++i) {
        const ButtonView button = window.Button(i);
        EXPECT_EQ(button.caption, LookupString(page.captions[i], language)) << "button " << i;
        EXPECT_EQ(button.enabled, page.enabled[i]) << "button " << i;
        EXPECT_EQ(button.isDefault, i == page.defaultButton) << "button " << i;
        EXPECT_TRUE(button.visible) << "button " << i;
      }
      EXPECT_EQ(window.FocusedButton(), page.defaultButton);
    }
  }
}

TEST_F(PagesTest, EnglishButtonCaptions) {
  ShowState(STATE_WELCOME);
  EXPECT_EQ(window.Button(0).caption, "&Cancel");
  EXPECT_EQ(window.Button(1).caption, "< &Back");
  EXPECT_EQ(window.Button(2).caption, "R&un");
  ShowState(STATE_COMPLETE);
  EXPECT_EQ(window.Button(1).caption, "C&ontinue");
  EXPECT_EQ(window.Button(2).caption, "C&lose");
  ShowState(STATE_CONNECTING);
  EXPECT_EQ(window.Button(2).caption, "&Next >");
}

TEST_F(PagesTest, EveryRepaintMovesTheFocusBackToTheDefaultButton) {
  ShowState(STATE_COMPLETE);
  window.FocusButton(1);
  wizard.PaintPage();
  EXPECT_EQ(window.FocusedButton(), 2);
}

TEST_F(PagesTest, EnglishStartPage) {
  ShowState(STATE_WELCOME);
  EXPECT_THAT(window.TitleLines(),
              ElementsAre("the LX40 OPTICAL POWER METER", " Sensor Data Setup Wizard"));
  EXPECT_THAT(
      window.BodyLines(),
      ElementsAre("Sensor Data Setup of the LX40 Optical Power Meter will begin.",
                  "Connect the LX40 Optical Power Meter to the computer with a USB cable and "
                  "select \"Run\".",
                  "<Sensors to be set>", "  8010   8011   "));
  EXPECT_THAT(BodyTops(), ElementsAre(80, 96, 128, 144));
  EXPECT_EQ(window.RunAt(10, 30)->font, TextFont::Title);
}

TEST_F(PagesTest, JapaneseStartPage) {
  window.SetLanguage(UiLanguage::Japanese);
  ShowState(STATE_WELCOME);
  EXPECT_THAT(window.TitleLines(),
              ElementsAre("LX40 光パワーメータ", " センサデータ設定ウィザード"));
  EXPECT_THAT(window.BodyLines(),
              ElementsAre("LX40 光パワーメータのセンサデータ設定を開始します。",
                          "LX40 光パワーメータとパソコンをUSBケーブルで接続し、[実行]をクリック"
                          "してください。",
                          "<設定するセンサ>", "  8010   8011   "));
  EXPECT_EQ(window.Button(0).caption, "キャンセル(&C)");
  EXPECT_EQ(window.Button(2).caption, "実行(&R)");
}

TEST_F(PagesTest, SensorListIsTheSameEveryTimeTheStartPageIsDrawn) {
  ShowState(STATE_WELCOME);
  wizard.m_sensorData.Select(1);  // as a run leaves it
  ShowState(STATE_WELCOME);
  ShowState(STATE_WELCOME);
  EXPECT_EQ(window.BodyLines().back(), "  8010   8011   ");
}

TEST_F(PagesTest, SensorListShowsEachTablesOwnCode) {
  MemoryResources other;
  other.Put(132, MakeSensorTable(1, 12345, 2));
  other.Put(138, MakeSensorTable(3, 7, 1));
  CWizardCore another(window, other);
  another.InitCore();
  ASSERT_TRUE(another.LoadSensorTables());
  another.ShowPage();
  EXPECT_EQ(window.BodyLines().back(), "  12345   7   ");
}

TEST_F(PagesTest, EnglishPagesAfterARun) {
  ShowState(STATE_COMPLETE);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Data setup is complete."));
  EXPECT_THAT(window.BodyLines(),
              ElementsAre("Data setup is complete.",
                          "Please disconnect the USB cable from the LX40 Optical Power Meter.",
                          "To perform setup on another LX40 Optical Power Meter, select "
                          "\"Continue\"."));
  EXPECT_THAT(BodyTops(), ElementsAre(80, 96, 128));

  ShowState(STATE_CANCELLED);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Setup was cancelled."));
  EXPECT_THAT(window.BodyLines(), ElementsAre("Data Setup was cancelled before it was completed."));
}

TEST_F(PagesTest, JapanesePagesAfterARun) {
  window.SetLanguage(UiLanguage::Japanese);
  ShowState(STATE_COMPLETE);
  EXPECT_THAT(window.TitleLines(), ElementsAre("データの設定が終了しました。"));
  EXPECT_THAT(window.BodyLines(),
              ElementsAre("データの設定が完了しました。",
                          "LX40 光パワーメータからUSBケーブルをはずしてください。",
                          "続けて別のLX40 光パワーメータの設定を行う場合は[続行]をクリックしてく"
                          "ださい。"));
  ShowState(STATE_CANCELLED);
  EXPECT_THAT(window.TitleLines(), ElementsAre("設定が中断されました。"));
  EXPECT_THAT(window.BodyLines(), ElementsAre("データの設定が完了する前に中断されました。"));
}

TEST_F(PagesTest, RunPagesChangeTheTitleAndKeepTheBody) {
  ShowState(STATE_WELCOME);
  const std::vector<std::string> startBody = window.BodyLines();

  ShowState(STATE_CONNECTING);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Performing Data Setup."));
  EXPECT_EQ(window.BodyLines(), startBody);

  Status().WriteString(413, true);
  ShowState(STATE_RUNNING);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Performing Data Setup."));
  EXPECT_THAT(window.BodyLines(), ElementsAre("Connecting..."));
}

TEST_F(PagesTest, CancellingPageWritesNoText) {
  ShowState(STATE_RUNNING);
  Status().WriteText("status", true);
  const std::vector<TextRun> before = window.Runs();
  const size_t fills = window.Fills().size();
  ShowState(STATE_CANCELLING);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Performing Data Setup."));
  EXPECT_THAT(window.BodyLines(), ElementsAre("status"));
  EXPECT_EQ(window.Runs().size(), before.size());
  EXPECT_EQ(window.Fills().size(), fills);
}

TEST_F(PagesTest, StateOutsideTheTableDrawsNothing) {
  ShowState(STATE_WELCOME);
  for (uint8_t state : {uint8_t{6}, uint8_t{200}, uint8_t{255}}) {
    const size_t drawCalls = window.DrawCalls();
    MessUpButtons();
    ShowState(state);
    EXPECT_EQ(window.DrawCalls(), drawCalls) << int{state};
    EXPECT_EQ(window.Button(0).caption, "stale") << int{state};
    EXPECT_EQ(window.FocusedButton(), -1) << int{state};
  }
}

struct StateStep {
  uint8_t from;
  uint8_t to;
  bool result;
};

TEST_F(PagesTest, AdvanceStateSteps) {
  const StateStep steps[] = {
      {STATE_WELCOME, STATE_CONNECTING, true},   {STATE_CONNECTING, STATE_RUNNING, true},
      {STATE_RUNNING, STATE_COMPLETE, true},     {STATE_COMPLETE, STATE_COMPLETE, false},
      {STATE_CANCELLED, STATE_CANCELLED, false}, {STATE_CANCELLING, STATE_CANCELLING, true},
  };
  for (const StateStep& step : steps) {
    wizard.StoreState(static_cast<WizardState>(step.from));
    EXPECT_EQ(wizard.AdvanceState(), step.result) << int{step.from};
    EXPECT_EQ(wizard.State(), step.to) << int{step.from};
  }
}

TEST_F(PagesTest, StepBackStateSteps) {
  const StateStep steps[] = {
      {STATE_WELCOME, STATE_CANCELLED, true}, {STATE_CONNECTING, STATE_CONNECTING, true},
      {STATE_RUNNING, STATE_RUNNING, true},   {STATE_COMPLETE, STATE_WELCOME, true},
      {STATE_CANCELLED, STATE_WELCOME, true}, {STATE_CANCELLING, STATE_CANCELLING, true},
  };
  for (const StateStep& step : steps) {
    wizard.StoreState(static_cast<WizardState>(step.from));
    EXPECT_EQ(wizard.StepBackState(), step.result) << int{step.from};
    EXPECT_EQ(wizard.State(), step.to) << int{step.from};
  }
}

TEST_F(PagesTest, MissingSensorTableEndsTheWizardWithMessage600) {
  MemoryResources broken = SmallSensorTables();
  broken.Remove(138);
  CWizardCore another(window, broken);
  another.InitCore();
  EXPECT_FALSE(another.LoadSensorTables());
  EXPECT_THAT(window.Messages(), ElementsAre("Application error."));
  EXPECT_EQ(window.EndResult(), 1);
}

TEST_F(PagesTest, BuiltInTablesOnTheStartPage) {
  CompiledInResources builtIn;
  CWizardCore another(window, builtIn);
  another.InitCore();
  ASSERT_TRUE(another.LoadSensorTables());
  another.ShowPage();
  EXPECT_EQ(window.BodyLines().back(), "  8010   8011   ");
}

}  // namespace
