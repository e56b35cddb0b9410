// The exact command text of every meter command export, in both modes of
// the SQ_ exports, each after one battery check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "export_calls.h"

namespace cmdtest {
namespace {

using ::testing::ElementsAre;

class EveryExportTest : public ScriptedCommandTest,
                        public ::testing::WithParamInterface<QueryCall> {};

TEST_P(EveryExportTest, SendsBatteryCheckThenItsCommandAndSucceedsOnAGoodReply) {
  const QueryCall& c = GetParam();
  Records records = Records::Make();
  meter_->QueueText("BATERY_OK\r");
  meter_->QueueText(std::string(c.replyForSuccess) + "\r");
  if (std::string(c.call.name) == "QUES_AllWave") {
    for (int i = 1; i < MLINK_WAVE_LIST_SIZE; ++i)
      meter_->QueueText(std::string(c.replyForSuccess) + "\r");
  }
  EXPECT_EQ(c.call.call(records), MLINK_OK);
  const std::vector<std::string> sent = Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], "BTRY\n");
  EXPECT_EQ(sent[1], std::string(c.call.command) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Exports, EveryExportTest, ::testing::ValuesIn(AllCallsWithGoodReplies()),
                         [](const auto& param_info) {
                           return std::string(param_info.param.call.name);
                         });

// Set commands: the parameters as they go out.
struct SetCase {
  const char* name;
  std::function<int32_t()> call;
  const char* command;
};

class SetTextTest : public ScriptedCommandTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(SetTextTest, ParametersGoOutInTheirFields) {
  Answer("OK");
  EXPECT_EQ(GetParam().call(), MLINK_OK);
  EXPECT_THAT(Sent(), ElementsAre("BTRY\n", std::string(GetParam().command) + "\n"));
}

int32_t SetRel1(float value, int32_t unit) {
  const Reading r{value, unit};
  return SET_Rel1(&r);
}
int32_t SetMode(ModeSettings m) { return SQ_Mode(0, &m); }
int32_t SetWave(int32_t nm, float value) {
  WaveEntry e{nm, value};
  return SQ_Wave(0, &e);
}
int32_t SetAve(int32_t v) { return SQ_Ave(0, &v); }
int32_t SetRange(int32_t v) { return SQ_Range(0, &v); }
int32_t SetAps(int32_t v) { return SQ_Aps(0, &v); }

INSTANTIATE_TEST_SUITE_P(
    Sets, SetTextTest,
    ::testing::Values(
        SetCase{"Rel1Db", [] { return SetRel1(-10.5f, 9); }, "SET_REL1:-010509"},
        SetCase{"Rel1Milliwatt", [] { return SetRel1(1.5f, 11); }, "SET_REL1:+150003"},
        SetCase{"Rel1Watt", [] { return SetRel1(0.0015f, 10); }, "SET_REL1:+150003"},
        SetCase{"Rel1Nanowatt", [] { return SetRel1(250.0f, 13); }, "SET_REL1:+025006"},
        SetCase{"Rel1Zero", [] { return SetRel1(0.0f, 12); }, "SET_REL1:+000008"},
        SetCase{"ModeUnitWatt",
                [] {
                  return SetMode({1310, 2, 3, 8, 12});
                },
                "SET_MODE:+01310,ABS,OFF,AUTO,W"},
        SetCase{"ModeUnitNanowatt",
                [] {
                  return SetMode({1310, 2, 3, 8, 13});
                },
                "SET_MODE:+01310,ABS,OFF,AUTO,W"},
        SetCase{"ModeOtherKeywords",
                [] {
                  return SetMode({850, 0, 6, 7, 9});
                },
                "SET_MODE:+00850,REL0,AVE,MANU,DB"},
        SetCase{"ModeRel1MaxMin",
                [] {
                  return SetMode({-1, 1, 4, 7, 10});
                },
                "SET_MODE:-00001,REL1,MAX,MANU,W"},
        SetCase{"ModeHoldMin",
                [] {
                  return SetMode({19999, 2, 5, 8, 11});
                },
                "SET_MODE:+19999,ABS,MIN,AUTO,W"},
        SetCase{"WaveExample", [] { return SetWave(1310, 1.234f); }, "SET_WAVELEN:+1310,+01.234"},
        SetCase{"WaveNegativeValue", [] { return SetWave(850, -0.5f); },
                "SET_WAVELEN:+0850,-00.500"},
        SetCase{"WaveLargest", [] { return SetWave(9999, 19.999f); }, "SET_WAVELEN:+9999,+19.999"},
        SetCase{"AveExample", [] { return SetAve(10); }, "SET_AVE:+00010"},
        SetCase{"AveNegative", [] { return SetAve(-1050); }, "SET_AVE:-01050"},
        SetCase{"RangeNegative", [] { return SetRange(-20); }, "SET_RANGE:-00020"},
        SetCase{"RangeLargest", [] { return SetRange(19999); }, "SET_RANGE:+19999"},
        SetCase{"ApsOn", [] { return SetAps(1); }, "SET_APS:ON"},
        SetCase{"ApsOff", [] { return SetAps(0); }, "SET_APS:OFF"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ScriptedCommandTest, AllWaveChecksBatteryOnceThenAsksForEachOfTenEntries) {
  meter_->QueueText("BATERY_OK\r");
  for (int i = 0; i < 10; ++i) {
    meter_->QueueText(std::to_string(1300 + i) + "," + std::to_string(i) + ".25" + "\r");
  }
  WaveEntry entries[10] = {};
  EXPECT_EQ(QUES_AllWave(entries), MLINK_OK);
  std::vector<std::string> expected = {"BTRY\n"};
  for (int i = 0; i < 10; ++i) expected.push_back("GET_WAVELEN:" + std::to_string(i) + "\n");
  EXPECT_EQ(Sent(), expected);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(entries[i].wavelength, 1300 + i);
    EXPECT_FLOAT_EQ(entries[i].value, static_cast<float>(i) + 0.25f);
  }
}

TEST_F(ScriptedCommandTest, ResetAllDataExchangeIsBatteryThenCommandEachAsOneLine) {
  meter_->QueueText("BATERY_OK\r");
  meter_->QueueText("OK\r\n");
  EXPECT_EQ(ResetAllData(), MLINK_OK);
  EXPECT_THAT(meter_->Writes(),
              ElementsAre(mltest::ToBytes("BTRY\n"), mltest::ToBytes("RESET_SETDATA\n")));
}

}  // namespace
}  // namespace cmdtest
