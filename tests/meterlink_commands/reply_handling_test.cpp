// How each export reads its reply: fields into records, readings and their
// units, keywords, and replies that are short, long or odd.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "commands_fixture.h"
#include "settings_records.h"

namespace cmdtest {
namespace {

using ::testing::ElementsAre;

using ReplyTest = ScriptedCommandTest;

// --- QUES_AllWave -------------------------------------------------------------

TEST_F(ReplyTest, AllWaveStopsAtDataErrWithEarlierEntriesFilledAndLaterUntouched) {
  meter_->QueueText("BATERY_OK\r");
  for (int i = 0; i < 4; ++i)
    meter_->QueueText(std::to_string(1500 + i) + ",+01.25" + std::to_string(i) + "\r");
  meter_->QueueText("DATA_ERR\r");
  WaveEntry entries[10];
  for (WaveEntry& e : entries) e = {-1, -1.0f};
  EXPECT_EQ(QUES_AllWave(entries), MLINK_BAD_ARGUMENT);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].wavelength, 1500 + i);
    EXPECT_FLOAT_EQ(entries[i].value, 1.25f + 0.001f * static_cast<float>(i));
  }
  for (int i = 4; i < 10; ++i) {
    EXPECT_EQ(entries[i].wavelength, -1);
    EXPECT_EQ(entries[i].value, -1.0f);
  }
  EXPECT_THAT(Sent(), ElementsAre("BTRY\n", "GET_WAVELEN:0\n", "GET_WAVELEN:1\n", "GET_WAVELEN:2\n",
                                  "GET_WAVELEN:3\n", "GET_WAVELEN:4\n"));
}

TEST_F(ReplyTest, AllWaveEntryWithOneFieldEndsTheWalkWithThatEntryUntouched) {
  meter_->QueueText("BATERY_OK\r");
  meter_->QueueText("850,1.000\r");
  meter_->QueueText("980\r");
  WaveEntry entries[10] = {};
  entries[1] = {-5, -5.0f};
  EXPECT_EQ(QUES_AllWave(entries), MLINK_NOT_RECOGNISED);
  EXPECT_EQ(entries[0].wavelength, 850);
  EXPECT_EQ(entries[1].wavelength, -5);
  EXPECT_EQ(Sent().size(), 3u);
}

// --- SQ_Mode --------------------------------------------------------------------

struct ModeQueryCase {
  const char* reply;
  int32_t result;
  ModeSettings expected;
};

class ModeQueryTest : public ScriptedCommandTest,
                      public ::testing::WithParamInterface<ModeQueryCase> {};

TEST_P(ModeQueryTest, FieldsBecomeKeywordIndices) {
  Answer(GetParam().reply);
  ModeSettings m{-9, -9, -9, -9, -9};
  EXPECT_EQ(SQ_Mode(1, &m), GetParam().result);
  EXPECT_EQ(m, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModeQueryTest,
    ::testing::Values(
        ModeQueryCase{"+01310,ABS,OFF,AUTO,DB", MLINK_OK, {1310, 2, 3, 8, 9}},
        ModeQueryCase{"850,REL0,AVE,MANU,W", MLINK_OK, {850, 0, 6, 7, 10}},
        ModeQueryCase{"+01550:REL1,,MAX,AUTO,W", MLINK_OK, {1550, 1, 4, 8, 10}},
        // Keywords out of order or unknown are stored as -1; the search after
        // a miss starts from the table's beginning.
        ModeQueryCase{"+01310,ABS,REL0,AUTO,DB", MLINK_OK, {1310, 2, -1, 8, 9}},
        ModeQueryCase{"+01310,abs,OFF,AUTO,DB", MLINK_OK, {1310, -1, 3, 8, 9}},
        ModeQueryCase{"+01310,ABS,OFF,DB,AUTO", MLINK_OK, {1310, 2, 3, 9, -1}},
        // Fewer than five fields or no wavelength: refused, record unchanged.
        ModeQueryCase{"+01310,ABS,OFF,AUTO", MLINK_NOT_RECOGNISED, {-9, -9, -9, -9, -9}},
        ModeQueryCase{"", MLINK_NOT_RECOGNISED, {-9, -9, -9, -9, -9}},
        ModeQueryCase{"1310nm,ABS,OFF,AUTO,DB", MLINK_NOT_RECOGNISED, {-9, -9, -9, -9, -9}},
        ModeQueryCase{"99999999999,ABS,OFF,AUTO,DB", MLINK_NOT_RECOGNISED, {-9, -9, -9, -9, -9}}));

struct ModeSetReplyCase {
  const char* reply;
  int32_t result;
};

class ModeSetReplyTest : public ScriptedCommandTest,
                         public ::testing::WithParamInterface<ModeSetReplyCase> {};

TEST_P(ModeSetReplyTest, ReplyDecides) {
  Answer(GetParam().reply);
  ModeSettings m{1310, 2, 3, 8, 9};
  EXPECT_EQ(SQ_Mode(0, &m), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Replies, ModeSetReplyTest,
                         ::testing::Values(ModeSetReplyCase{"OK", MLINK_OK},
                                           ModeSetReplyCase{"WAVE_ERR", MLINK_MODE_OR_NO_DATA},
                                           ModeSetReplyCase{"MODE_ERR", MLINK_MODE_OR_NO_DATA},
                                           ModeSetReplyCase{"DATA_ERR", MLINK_BAD_ARGUMENT},
                                           ModeSetReplyCase{"WAVE_ER", MLINK_NOT_RECOGNISED},
                                           ModeSetReplyCase{"OKAY", MLINK_NOT_RECOGNISED}));

// --- SQ_Wave, SQ_Ave, SQ_Range, SQ_Aps ----------------------------------------------

TEST_F(ReplyTest, WaveSetAnsweredWaveErrIsNotRecognised) {
  // Only SQ_Mode set maps "WAVE_ERR"; for every other command it is a
  // reply other than "OK".
  Answer("WAVE_ERR");
  WaveEntry e{1310, 1.0f};
  EXPECT_EQ(SQ_Wave(0, &e), MLINK_NOT_RECOGNISED);
}

struct WaveQueryCase {
  const char* reply;
  int32_t result;
  int32_t wavelength;
  float value;
};

class WaveQueryTest : public ScriptedCommandTest,
                      public ::testing::WithParamInterface<WaveQueryCase> {};

TEST_P(WaveQueryTest, FieldOneIntegerFieldTwoReal) {
  Answer(GetParam().reply);
  WaveEntry e{-3, -3.0f};
  EXPECT_EQ(SQ_Wave(1, &e), GetParam().result);
  EXPECT_EQ(e.wavelength, GetParam().wavelength);
  EXPECT_FLOAT_EQ(e.value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WaveQueryTest,
    ::testing::Values(WaveQueryCase{"1310,1.234", MLINK_OK, 1310, 1.234f},
                      WaveQueryCase{"+1310,+01.234", MLINK_OK, 1310, 1.234f},
                      WaveQueryCase{"850,-0.5,extra", MLINK_OK, 850, -0.5f},
                      WaveQueryCase{"1310", MLINK_NOT_RECOGNISED, -3, -3.0f},
                      WaveQueryCase{"1310,abc", MLINK_NOT_RECOGNISED, -3, -3.0f},
                      WaveQueryCase{"13.10,1.0", MLINK_NOT_RECOGNISED, -3, -3.0f},
                      WaveQueryCase{"1310,1e3", MLINK_NOT_RECOGNISED, -3, -3.0f}));

struct NumberQueryCase {
  const char* reply;
  int32_t result;
  int32_t value;
};

class NumberQueryTest : public ScriptedCommandTest,
                        public ::testing::WithParamInterface<NumberQueryCase> {};

TEST_P(NumberQueryTest, AveAndRangeReadFieldOneAsDecimalInteger) {
  for (auto* query : {SQ_Ave, SQ_Range}) {
    Answer(GetParam().reply);
    int32_t value = -77;
    EXPECT_EQ(query(1, &value), GetParam().result);
    EXPECT_EQ(value, GetParam().value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, NumberQueryTest,
    ::testing::Values(NumberQueryCase{"12", MLINK_OK, 12}, NumberQueryCase{"+00010", MLINK_OK, 10},
                      NumberQueryCase{"-20", MLINK_OK, -20}, NumberQueryCase{"10,20", MLINK_OK, 10},
                      NumberQueryCase{"", MLINK_NOT_RECOGNISED, -77},
                      NumberQueryCase{"1.5", MLINK_NOT_RECOGNISED, -77},
                      NumberQueryCase{"ten", MLINK_NOT_RECOGNISED, -77},
                      NumberQueryCase{"2147483648", MLINK_NOT_RECOGNISED, -77}));

struct ApsCase {
  const char* reply;
  int32_t result;
  int32_t stored;
};

class ApsQueryTest : public ScriptedCommandTest, public ::testing::WithParamInterface<ApsCase> {};

TEST_P(ApsQueryTest, OnlyExactOnAndOffCount) {
  Answer(GetParam().reply);
  int32_t on = 7;
  EXPECT_EQ(SQ_Aps(1, &on), GetParam().result);
  EXPECT_EQ(on, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Replies, ApsQueryTest,
                         ::testing::Values(ApsCase{"ON", MLINK_OK, 1}, ApsCase{"OFF", MLINK_OK, 0},
                                           ApsCase{"on", MLINK_NOT_RECOGNISED, 7},
                                           ApsCase{"Off", MLINK_NOT_RECOGNISED, 7},
                                           ApsCase{"ON,", MLINK_NOT_RECOGNISED, 7},
                                           ApsCase{"1", MLINK_NOT_RECOGNISED, 7}));

// --- Readings -------------------------------------------------------------------

struct ReadingCase {
  const char* reply;
  int32_t requested;
  int32_t result;
  float value;
  int32_t unit;
};

class ReadingTest : public ScriptedCommandTest,
                    public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(ReadingTest, MeasDataAndRelConvertToTheRequestedUnit) {
  for (auto* query : {QUES_MeasData, QUES_Rel}) {
    Answer(GetParam().reply);
    Reading r{-3.0f, GetParam().requested};
    EXPECT_EQ(query(&r), GetParam().result);
    EXPECT_FLOAT_EQ(r.value, GetParam().value);
    EXPECT_EQ(r.unit, GetParam().unit);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadingTest,
    ::testing::Values(ReadingCase{"+123453", 14, MLINK_OK, 1.2345f, 11},
                      ReadingCase{"+123453", 12, MLINK_OK, 1234.5f, 12},
                      ReadingCase{"+123453", 10, MLINK_OK, 0.0012345f, 10},
                      ReadingCase{"+123453", 9, MLINK_BAD_ARGUMENT, -3.0f, 9},
                      ReadingCase{"+123450", 14, MLINK_OK, 1.2345f, 10},
                      ReadingCase{"+123457", 14, MLINK_OK, 123.45f, 13},
                      ReadingCase{"+123458", 14, MLINK_OK, 12.345f, 13},
                      ReadingCase{"+123456", 14, MLINK_OK, 1.2345f, 12},
                      ReadingCase{"-012349", 9, MLINK_OK, -12.34f, 9},
                      ReadingCase{"-012349", 14, MLINK_OK, -12.34f, 9},
                      ReadingCase{"-012349", 10, MLINK_BAD_ARGUMENT, -3.0f, 10},
                      ReadingCase{"-012349", 13, MLINK_BAD_ARGUMENT, -3.0f, 13},
                      ReadingCase{"+123453", 15, MLINK_BAD_ARGUMENT, -3.0f, 15},
                      ReadingCase{"+123453", 8, MLINK_BAD_ARGUMENT, -3.0f, 8},
                      ReadingCase{"+1234539999", 11, MLINK_OK, 1.2345f,
                                  11},  // after index 6: ignored
                      // Marks: the sentinel, the requested unit left as it was.
                      ReadingCase{"H000000", 12, MLINK_OK, 1.0e10f, 12},
                      ReadingCase{"L000009", 9, MLINK_OK, -1.0e10f, 9},
                      ReadingCase{"O000000", 14, MLINK_OK, 1.0e11f, 14},
                      ReadingCase{"H000000", 99, MLINK_OK, 1.0e10f, 99},
                      ReadingCase{"N000009", 9, MLINK_MODE_OR_NO_DATA, -3.0f, 9},
                      // Not a reading: -4, record unchanged.
                      ReadingCase{"+12345", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"+12345x", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"+12345:", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"+1a3453", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"1234563", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"", 11, MLINK_NOT_RECOGNISED, -3.0f, 11},
                      ReadingCase{"H", 11, MLINK_NOT_RECOGNISED, -3.0f, 11}));

// --- QUES_IDN ------------------------------------------------------------------

TEST_F(ReplyTest, IdnFillsFourTextsAndMakesTheVersion) {
  Answer("VANTOR,LX40,A12345678,100");
  IdnInfo info;
  std::memset(&info, 'x', sizeof info);
  EXPECT_EQ(QUES_IDN(&info), MLINK_OK);
  EXPECT_STREQ(info.maker, "VANTOR");
  EXPECT_STREQ(info.model, "LX40");
  EXPECT_STREQ(info.serial, "A12345678");
  EXPECT_STREQ(info.version, "1.00");
}

struct IdnCutCase {
  std::string reply;
  const char* maker;
  const char* model;
  const char* serial;
  const char* version;
};

class IdnCutTest : public ScriptedCommandTest, public ::testing::WithParamInterface<IdnCutCase> {};

TEST_P(IdnCutTest, LongFieldsAreCutInsideEachText) {
  Answer(GetParam().reply);
  auto info = std::make_unique<IdnInfo>();  // exact size on the heap
  std::memset(info.get(), 'x', sizeof *info);
  EXPECT_EQ(QUES_IDN(info.get()), MLINK_OK);
  EXPECT_STREQ(info->maker, GetParam().maker);
  EXPECT_STREQ(info->model, GetParam().model);
  EXPECT_STREQ(info->serial, GetParam().serial);
  EXPECT_STREQ(info->version, GetParam().version);
}

const std::string k29M(29, 'M');
const std::string k29L(29, 'L');
const std::string k14S(14, 'S');

INSTANTIATE_TEST_SUITE_P(Replies, IdnCutTest,
                         ::testing::Values(IdnCutCase{std::string(33, 'M') + ",LX40," +
                                                          std::string(16, 'S') + ",20345",
                                                      k29M.c_str(), "LX40", k14S.c_str(), "2.03"},
                                           IdnCutCase{"A:" + std::string(30, 'L') + ":B,100", "A",
                                                      k29L.c_str(), "B", "1.00"},
                                           IdnCutCase{"A,B,C,1x9,more", "A", "B", "C", "1.x9"}));

class IdnRefusedTest : public ScriptedCommandTest,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(IdnRefusedTest, LeavesTheRecordUnchanged) {
  Answer(GetParam());
  IdnInfo info;
  std::memset(&info, 'x', sizeof info);
  EXPECT_EQ(QUES_IDN(&info), MLINK_NOT_RECOGNISED);
  for (std::size_t i = 0; i < sizeof info; ++i)
    ASSERT_EQ(reinterpret_cast<const char*>(&info)[i], 'x');
}

INSTANTIATE_TEST_SUITE_P(Replies, IdnRefusedTest,
                         ::testing::Values("VANTOR,LX40,A12345678", "VANTOR,LX40,A12345678,10",
                                           "VANTOR,LX40,A12345678,1", "", ",,,,"));

// --- QUES_Sensor ------------------------------------------------------------------

TEST_F(ReplyTest, SensorCopiesTheLongestReplyIntoExactlySixtyFourBytes) {
  const std::string text(63, 'D');
  Answer(text);
  auto buffer = std::make_unique<char[]>(MLINK_SENSOR_TEXT_SIZE);  // exact size on the heap
  EXPECT_EQ(QUES_Sensor(buffer.get()), MLINK_OK);
  EXPECT_EQ(std::string(buffer.get()), text);
}

TEST_F(ReplyTest, SensorCopiesTheWholeReplyWithSeparators) {
  Answer("LS-8010,300-1700NM:Si");
  char buffer[64];
  EXPECT_EQ(QUES_Sensor(buffer), MLINK_OK);
  EXPECT_STREQ(buffer, "LS-8010,300-1700NM:Si");
}

// --- Battery and the resets -----------------------------------------------------------

TEST_F(ReplyTest, ResetAllDataWithLowBatteryNeverSendsTheReset) {
  meter_->QueueText("BATERY_LO\r");
  EXPECT_EQ(ResetAllData(), MLINK_BATTERY_LOW);
  EXPECT_THAT(Sent(), ElementsAre("BTRY\n"));
}

TEST_F(ReplyTest, ResetAllDataWithOkAndCrLf) {
  meter_->QueueText("BATERY_OK\r");
  meter_->QueueText("OK\r\n");
  EXPECT_EQ(ResetAllData(), MLINK_OK);
}

TEST_F(ReplyTest, AllWaveWithLowBatterySendsNoQueryAndTouchesNoEntry) {
  meter_->QueueText("BATERY_LO\r");
  WaveEntry entries[10];
  for (WaveEntry& e : entries) e = {-1, -1.0f};
  EXPECT_EQ(QUES_AllWave(entries), MLINK_BATTERY_LOW);
  EXPECT_THAT(Sent(), ElementsAre("BTRY\n"));
  for (const WaveEntry& e : entries) EXPECT_EQ(e.wavelength, -1);
}

}  // namespace
}  // namespace cmdtest
