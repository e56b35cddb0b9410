// SendMeterCommand and CheckBattery, the internal steps of every meter
// command: the battery check first, then the error-reply mapping.
// This program links the library's code directly, as these are not exported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "device_table.h"
#include "exchange.h"
#include "meter_bus.h"
#include "meterlink.h"

namespace mltest {
namespace {

// The selected meter's core, as the ordinal exports use it.
int32_t CheckBattery() { return meterlink::CheckBattery(meterlink::SelectedMeter()); }
char* ReplyText() { return meterlink::SelectedMeter().reply_text(); }
int32_t SendMeterCommand(const char* command, char* reply, int32_t skipBattery) {
  return meterlink::SendMeterCommand(meterlink::SelectedMeter(), command, reply, skipBattery);
}
using ::testing::ElementsAre;

class MeterCommandTest : public MeterBusTest {};

struct ReplyMapping {
  const char* reply;
  int32_t result;
};

class ErrorReplyTest : public MeterCommandTest,
                       public ::testing::WithParamInterface<ReplyMapping> {};

TEST_P(ErrorReplyTest, MapsTheWholeReply) {
  const ReplyMapping m = GetParam();
  auto meter = SelectedMeter();
  meter->QueueText("BATERY_OK\r\n");
  meter->QueueText(std::string(m.reply) + "\r\n");
  EXPECT_EQ(SendMeterCommand("GET_MODE", ReplyText(), 0), m.result);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n", "GET_MODE\n"));
  EXPECT_EQ(std::string(ReplyText()), m.reply);  // left for the caller to parse
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ErrorReplyTest,
    ::testing::Values(ReplyMapping{"CMD_ERR", MLINK_NOT_RECOGNISED},
                      ReplyMapping{"DATA_ERR", MLINK_BAD_ARGUMENT},
                      ReplyMapping{"NO_SENSER", MLINK_SENSOR_OR_MEMORY},
                      ReplyMapping{"MEM_ERR", MLINK_SENSOR_OR_MEMORY},
                      ReplyMapping{"MODE_ERR", MLINK_MODE_OR_NO_DATA},
                      // whole and case-sensitive; "WAVE_ERR" is the command's to judge
                      ReplyMapping{"OK", MLINK_OK}, ReplyMapping{"mode_err", MLINK_OK},
                      ReplyMapping{"CMD_ERR2", MLINK_OK}, ReplyMapping{"MEM_ER", MLINK_OK},
                      ReplyMapping{"WAVE_ERR", MLINK_OK}, ReplyMapping{"", MLINK_OK}));

struct BatteryCase {
  const char* reply;
  int32_t result;
};

class BatteryTest : public MeterCommandTest, public ::testing::WithParamInterface<BatteryCase> {};

TEST_P(BatteryTest, CheckBatteryJudgesTheReply) {
  const BatteryCase c = GetParam();
  auto meter = SelectedMeter();
  meter->QueueText(std::string(c.reply) + "\r\n");
  EXPECT_EQ(CheckBattery(), c.result);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n"));
  EXPECT_EQ(std::string(ReplyText()), c.reply);
}

TEST_P(BatteryTest, CommandGoesOutOnlyAfterAGoodBattery) {
  const BatteryCase c = GetParam();
  auto meter = SelectedMeter();
  meter->QueueText(std::string(c.reply) + "\r\n");
  meter->QueueText("OK\r\n");
  char reply[meterlink::kReplyTextSize] = {};
  EXPECT_EQ(SendMeterCommand("SET_REL0", reply, 0), c.result);
  if (c.result == MLINK_OK) {
    EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n", "SET_REL0\n"));
    EXPECT_STREQ(reply, "OK");
  } else {
    EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, BatteryTest,
                         ::testing::Values(BatteryCase{"BATERY_OK", MLINK_OK},
                                           BatteryCase{"BATERY_LO", MLINK_BATTERY_LOW},
                                           BatteryCase{"BATERY_HI", MLINK_NOT_RECOGNISED},
                                           BatteryCase{"batery_lo", MLINK_NOT_RECOGNISED},
                                           BatteryCase{"", MLINK_NOT_RECOGNISED}));

TEST_F(MeterCommandTest, SkippingTheBatteryCheckSendsOnlyTheCommand) {
  auto meter = SelectedMeter();
  meter->QueueText("MEM_ERR\r\n");
  EXPECT_EQ(SendMeterCommand("GET_SENSER", ReplyText(), 1), MLINK_SENSOR_OR_MEMORY);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("GET_SENSER\n"));
}

TEST_F(MeterCommandTest, BatteryExchangeFailuresStopTheCommand) {
  auto meter = SelectedMeter();
  meter->QueueText("BATERY_OK");  // no CR
  EXPECT_EQ(SendMeterCommand("GET_AVE", ReplyText(), 0), MLINK_NOT_RECOGNISED);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n"));

  meter->ClearRecord();
  meter->FailReads(true);
  EXPECT_EQ(SendMeterCommand("GET_AVE", ReplyText(), 0), MLINK_TRANSPORT_FAILED);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("BTRY\n"));
}

TEST_F(MeterCommandTest, CommandExchangeFailuresComeBackUnchanged) {
  auto meter = SelectedMeter();
  meter->QueueText("BATERY_OK\r\n");
  meter->QueueText("CMD_ERR");  // no CR: not recognised, not mapped
  char reply[meterlink::kReplyTextSize] = "previous";
  EXPECT_EQ(SendMeterCommand("GET_AVE", reply, 0), MLINK_NOT_RECOGNISED);
  EXPECT_STREQ(reply, "previous");

  const std::string tooLong(101, 'C');
  EXPECT_EQ(SendMeterCommand(tooLong.c_str(), reply, 1), MLINK_TRANSPORT_FAILED);
}

TEST_F(MeterCommandTest, NoMeterSelectedIsTransportFailure) {
  auto meter = PlugMeter("A12345678");
  EXPECT_EQ(CheckBattery(), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(SendMeterCommand("GET_AVE", ReplyText(), 0), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(SendMeterCommand("GET_AVE", ReplyText(), 1), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
}

TEST_F(MeterCommandTest, NullArgumentsAreRefusedWithoutIo) {
  auto meter = SelectedMeter();
  EXPECT_EQ(SendMeterCommand(nullptr, ReplyText(), 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(SendMeterCommand("GET_AVE", nullptr, 0), MLINK_BAD_ARGUMENT);
  EXPECT_TRUE(meter->Writes().empty());
}

}  // namespace
}  // namespace mltest
