// The failure table of the meter commands, for every export: argument
// refusals before any I/O, the battery check, the meter's error replies,
// transport failures and unexpected replies, each leaving the caller's
// records unchanged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>
#include <tuple>

#include "export_calls.h"

namespace cmdtest {
namespace {

using ::testing::ElementsAre;

struct Situation {
  const char* name;
  // Scripts the meter's side after the selection.
  std::function<void(mltest::ScriptedEndpoint&)> script;
  int32_t result;
  bool commandSent;  // false: only "BTRY" goes out
};

const Situation kSituations[] = {
    {"BatteryLow", [](auto& m) { m.QueueText("BATERY_LO\r"); }, MLINK_BATTERY_LOW, false},
    {"BatteryReplyOdd", [](auto& m) { m.QueueText("BATERY_O\r"); }, MLINK_NOT_RECOGNISED, false},
    {"BatteryNoCr", [](auto& m) { m.QueueText("BATERY_OK"); }, MLINK_NOT_RECOGNISED, false},
    {"CmdErr",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("CMD_ERR\r");
     },
     MLINK_NOT_RECOGNISED, true},
    {"DataErr",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("DATA_ERR\r");
     },
     MLINK_BAD_ARGUMENT, true},
    {"NoSensor",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("NO_SENSER\r");
     },
     MLINK_SENSOR_OR_MEMORY, true},
    {"MemErr",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("MEM_ERR\r");
     },
     MLINK_SENSOR_OR_MEMORY, true},
    {"ModeErr",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("MODE_ERR\r");
     },
     MLINK_MODE_OR_NO_DATA, true},
    {"ReplyWithoutCr",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.QueueText("OK");
     },
     MLINK_NOT_RECOGNISED, true},
    {"ReadFails",
     [](auto& m) {
       m.QueueText("BATERY_OK\r");
       m.FailReadsFrom(m.ReadCount() + 3);
     },
     MLINK_TRANSPORT_FAILED, true},
};

class FailureTableTest : public ScriptedCommandTest,
                         public ::testing::WithParamInterface<std::tuple<ExportCall, Situation>> {};

TEST_P(FailureTableTest, GivesItsCodeAndLeavesRecordsUnchanged) {
  const auto& [call, situation] = GetParam();
  situation.script(*meter_);
  Records records = Records::Make();
  EXPECT_EQ(call.call(records), situation.result);
  EXPECT_TRUE(records == Records::Make());
  if (situation.commandSent) {
    EXPECT_THAT(Sent(), ElementsAre("BTRY\n", std::string(call.command) + "\n"));
  } else {
    EXPECT_THAT(Sent(), ElementsAre("BTRY\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(Exports, FailureTableTest,
                         ::testing::Combine(::testing::ValuesIn(AllExportCalls()),
                                            ::testing::ValuesIn(kSituations)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "_" +
                                  std::get<1>(param_info.param).name;
                         });

// A reply that is none of the error keywords and not what the command
// expects: -4, record unchanged. (QUES_Sensor takes any text.)
class UnexpectedReplyTest
    : public ScriptedCommandTest,
      public ::testing::WithParamInterface<std::tuple<ExportCall, const char*>> {};

TEST_P(UnexpectedReplyTest, IsNotRecognised) {
  const auto& [call, reply] = GetParam();
  Answer(reply);
  Records records = Records::Make();
  EXPECT_EQ(call.call(records), MLINK_NOT_RECOGNISED);
  EXPECT_TRUE(records == Records::Make());
}

// Every export with every odd reply, except QUES_Sensor (any text is a
// sensor description) and "WAVE_ERR" to SQ_Mode set (-10, see the reply
// handling tests).
std::vector<std::tuple<ExportCall, const char*>> UnexpectedReplyCases() {
  std::vector<std::tuple<ExportCall, const char*>> cases;
  for (const ExportCall& call : AllExportCalls()) {
    if (std::string(call.name) == "QUES_Sensor") continue;
    for (const char* reply : {"", "ok", "OK ", "WAVE_ERR", "BATERY_OK", "??"}) {
      if (std::string(call.name) == "SQ_ModeSet" && std::string(reply) == "WAVE_ERR") continue;
      cases.emplace_back(call, reply);
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Exports, UnexpectedReplyTest, ::testing::ValuesIn(UnexpectedReplyCases()),
                         [](const auto& param_info) {
                           std::string name = std::string(std::get<0>(param_info.param).name) + "_";
                           for (const char c : std::string(std::get<1>(param_info.param))) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : 'x';
                           }
                           return name + std::to_string(param_info.index);
                         });

// Refusals before any I/O.
struct RefusalCase {
  const char* name;
  std::function<int32_t()> call;
};

class RefusalTest : public ScriptedCommandTest,
                    public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, GivesMinusOneAndSendsNothing) {
  EXPECT_EQ(GetParam().call(), MLINK_BAD_ARGUMENT);
  EXPECT_TRUE(meter_->Writes().empty());
}

int32_t Mode(int32_t flag, ModeSettings m) { return SQ_Mode(flag, &m); }
int32_t Wave(WaveEntry e) { return SQ_Wave(0, &e); }
int32_t Rel1(Reading r) { return SET_Rel1(&r); }
int32_t Number(int32_t (*f)(int32_t, int32_t*), int32_t flag, int32_t v) { return f(flag, &v); }

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        // Null pointers.
        RefusalCase{"IdnNull", [] { return QUES_IDN(nullptr); }},
        RefusalCase{"MeasDataNull", [] { return QUES_MeasData(nullptr); }},
        RefusalCase{"AllWaveNull", [] { return QUES_AllWave(nullptr); }},
        RefusalCase{"SensorNull", [] { return QUES_Sensor(nullptr); }},
        RefusalCase{"RelNull", [] { return QUES_Rel(nullptr); }},
        RefusalCase{"Rel1Null", [] { return SET_Rel1(nullptr); }},
        RefusalCase{"ModeNullQuery", [] { return SQ_Mode(1, nullptr); }},
        RefusalCase{"ModeNullSet", [] { return SQ_Mode(0, nullptr); }},
        RefusalCase{"AveNull", [] { return SQ_Ave(1, nullptr); }},
        RefusalCase{"RangeNull", [] { return SQ_Range(0, nullptr); }},
        RefusalCase{"WaveNull", [] { return SQ_Wave(1, nullptr); }},
        RefusalCase{"ApsNull", [] { return SQ_Aps(0, nullptr); }},
        // Mode flags other than 0 and 1.
        RefusalCase{"ModeFlag2",
                    [] {
                      return Mode(2, {1310, 2, 3, 8, 9});
                    }},
        RefusalCase{"ModeFlagMinus1",
                    [] {
                      return Mode(-1, {1310, 2, 3, 8, 9});
                    }},
        RefusalCase{"AveFlag2", [] { return Number(SQ_Ave, 2, 10); }},
        RefusalCase{"RangeFlagMinus1", [] { return Number(SQ_Range, -1, 10); }},
        RefusalCase{"ApsFlag256", [] { return Number(SQ_Aps, 256, 1); }},
        RefusalCase{"WaveFlag3",
                    [] {
                      WaveEntry e{1310, 1.0f};
                      return SQ_Wave(3, &e);
                    }},
        // SQ_Mode set: range mode, relative mode, hold, unit, wavelength.
        RefusalCase{"ModeHold7",
                    [] {
                      return Mode(0, {1310, 2, 7, 8, 9});
                    }},
        RefusalCase{"ModeHold2",
                    [] {
                      return Mode(0, {1310, 2, 2, 8, 9});
                    }},
        RefusalCase{"ModeRange6",
                    [] {
                      return Mode(0, {1310, 2, 3, 6, 9});
                    }},
        RefusalCase{"ModeRange9",
                    [] {
                      return Mode(0, {1310, 2, 3, 9, 9});
                    }},
        RefusalCase{"ModeRelative3",
                    [] {
                      return Mode(0, {1310, 3, 3, 8, 9});
                    }},
        RefusalCase{"ModeRelativeMinus1",
                    [] {
                      return Mode(0, {1310, -1, 3, 8, 9});
                    }},
        RefusalCase{"ModeUnit8",
                    [] {
                      return Mode(0, {1310, 2, 3, 8, 8});
                    }},
        RefusalCase{"ModeUnit14",
                    [] {
                      return Mode(0, {1310, 2, 3, 8, 14});
                    }},
        RefusalCase{"ModeWavelength20000",
                    [] {
                      return Mode(0, {20000, 2, 3, 8, 9});
                    }},
        RefusalCase{"ModeWavelengthMinus20000",
                    [] {
                      return Mode(0, {-20000, 2, 3, 8, 9});
                    }},
        // SQ_Wave set: fields that cannot be written.
        RefusalCase{"Wave10000",
                    [] {
                      return Wave({10000, 1.0f});
                    }},
        RefusalCase{"Wave12345",
                    [] {
                      return Wave({12345, 1.0f});
                    }},
        RefusalCase{"WaveValue20",
                    [] {
                      return Wave({1310, 20.0f});
                    }},
        RefusalCase{"WaveValueMinus19_9996",
                    [] {
                      return Wave({1310, -19.9996f});
                    }},
        RefusalCase{"WaveValueNaN",
                    [] {
                      return Wave({1310, std::nanf("")});
                    }},
        // SQ_Ave / SQ_Range set beyond five digits.
        RefusalCase{"Ave20000", [] { return Number(SQ_Ave, 0, 20000); }},
        RefusalCase{"RangeMinus20000", [] { return Number(SQ_Range, 0, -20000); }},
        // SQ_Aps set with neither 1 nor 0.
        RefusalCase{"Aps2", [] { return Number(SQ_Aps, 0, 2); }},
        RefusalCase{"ApsMinus1", [] { return Number(SQ_Aps, 0, -1); }},
        // SET_Rel1: unit outside 9 to 13, values the reading cannot hold.
        RefusalCase{"Rel1Unit8",
                    [] {
                      return Rel1({1.0f, 8});
                    }},
        RefusalCase{"Rel1Unit14",
                    [] {
                      return Rel1({1.0f, 14});
                    }},
        RefusalCase{"Rel1TwoWatts",
                    [] {
                      return Rel1({2000.0f, 11});
                    }},
        RefusalCase{"Rel1NegativeLinear",
                    [] {
                      return Rel1({-1.0f, 12});
                    }},
        RefusalCase{"Rel1DbBeyond",
                    [] {
                      return Rel1({200.0f, 9});
                    }},
        RefusalCase{"Rel1Infinite",
                    [] {
                      return Rel1({INFINITY, 9});
                    }}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Without a selected meter every export that reaches the meter gives -2.
TEST(NoMeterSelected, EveryExportGivesTransportFailure) {
  CloseAllDevice();
  for (const ExportCall& call : AllExportCalls()) {
    Records records = Records::Make();
    EXPECT_EQ(call.call(records), MLINK_TRANSPORT_FAILED) << call.name;
    EXPECT_TRUE(records == Records::Make()) << call.name;
  }
}

}  // namespace
}  // namespace cmdtest
