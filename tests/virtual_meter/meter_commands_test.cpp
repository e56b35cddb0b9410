// The meter's text commands and the framing of its replies.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "meter/virtual_meter.h"
#include "meter_host.h"

namespace {

using meter_test::Ask;
using meter_test::Bytes;
using meter_test::Command;
using meter_test::ReadReply;
using meter_test::Text;
using usbsim::MeterConfig;
using usbsim::VirtualMeter;

struct CommandCase {
  const char* name;
  std::function<void(MeterConfig&)> configure;
  const char* command;
  const char* reply;  // without the CR
};

class CommandReplyTest : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandReplyTest, RepliesWithTextAndCr) {
  MeterConfig config;
  config.serial = "C34567890";
  if (GetParam().configure) GetParam().configure(config);
  VirtualMeter meter(config);
  EXPECT_EQ(Ask(meter, GetParam().command), std::string(GetParam().reply) + "\r");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandReplyTest,
    testing::Values(CommandCase{"Qpid", nullptr, "QPID", "LX40"},
                    CommandCase{"QpidOtherModel", [](MeterConfig& c) { c.model = "LX41"; }, "QPID",
                                "LX41"},
                    CommandCase{"Idn", nullptr, "IDN", "Vantor,LX40,C34567890,100"},
                    CommandCase{"IdnConfigured",
                                [](MeterConfig& c) {
                                  c.maker = "Acme";
                                  c.version = "203";
                                },
                                "IDN", "Acme,LX40,C34567890,203"},
                    CommandCase{"BatteryOk", nullptr, "BTRY", "BATERY_OK"},
                    CommandCase{"BatteryLow", [](MeterConfig& c) { c.battery_low = true; }, "BTRY",
                                "BATERY_LO"},
                    CommandCase{"TestAllEmpty", nullptr, "TEST", "TEST:0000000"},
                    CommandCase{"TestSomeFilled",
                                [](MeterConfig& c) {
                                  c.slots_filled = {true, false, false, true, false, false, true};
                                },
                                "TEST", "TEST:1001001"},
                    CommandCase{"ResetUsbAnswersModel", nullptr, "RESET_USBLX40", "LX40"},
                    CommandCase{"Unknown", nullptr, "GET_TEMP", "CMD_ERR"},
                    CommandCase{"LowerCase", nullptr, "qpid", "CMD_ERR"},
                    CommandCase{"Empty", nullptr, "", "CMD_ERR"},
                    CommandCase{"UnexpectedParameter", nullptr, "QPID:1", "CMD_ERR"},
                    CommandCase{"TrailingCr", nullptr, "QPID\r", "CMD_ERR"}),
    [](const testing::TestParamInfo<CommandCase>& case_info) {
      return std::string(case_info.param.name);
    });

TEST(MeterFraming, ReplyIsSplitByTheHostsReadSizeAndEndsWithAZeroRead) {
  VirtualMeter meter(MeterConfig{});
  ASSERT_TRUE(Command(meter, "IDN"));  // "Vantor,LX40,A12345678,100\r" = 26 bytes
  const meter_test::Reply reply = ReadReply(meter, 10);
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.blocks, (std::vector<size_t>{10, 10, 6}));
  EXPECT_EQ(Text(reply.bytes), "Vantor,LX40,A12345678,100\r");
}

TEST(MeterFraming, IdleReadsGiveZeroBytesAtOnce) {
  VirtualMeter meter(MeterConfig{});
  uint8_t block[64];
  uint32_t done = 99;
  EXPECT_TRUE(meter.OnHostRead(block, sizeof block, &done));
  EXPECT_EQ(done, 0u);
  Ask(meter, "QPID");
  for (int i = 0; i < 3; ++i) {
    done = 99;
    EXPECT_TRUE(meter.OnHostRead(block, sizeof block, &done));
    EXPECT_EQ(done, 0u);
  }
}

TEST(MeterFraming, ZeroSizedReadDoesNotConsumeTheReply) {
  VirtualMeter meter(MeterConfig{});
  Command(meter, "QPID");
  uint8_t block[64];
  uint32_t done = 99;
  EXPECT_TRUE(meter.OnHostRead(block, 0, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(Text(ReadReply(meter).bytes), "LX40\r");
}

TEST(MeterFraming, OnlyTheTextUpToTheFirstLfIsTheCommand) {
  VirtualMeter meter(MeterConfig{});
  EXPECT_EQ(Ask(meter, "QPID\nIDN"), "LX40\r");
  EXPECT_EQ(Text(ReadReply(meter).bytes), "");  // one write, one answer
}

TEST(MeterFraming, BinaryWriteOutsideALoadIsRefusedWithNak) {
  VirtualMeter meter(MeterConfig{});
  EXPECT_EQ(meter_test::Exchange(meter, Bytes{0x55}), Bytes{0x15});
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");
}

TEST(MeterFraming, AnswersToUnreadWritesQueueUpEachEndedByAZeroRead) {
  VirtualMeter meter(MeterConfig{});
  Command(meter, "QPID");
  Command(meter, "BTRY");
  EXPECT_EQ(Text(ReadReply(meter).bytes), "LX40\r");
  EXPECT_EQ(Text(ReadReply(meter).bytes), "BATERY_OK\r");
  EXPECT_EQ(Text(ReadReply(meter).bytes), "");
}

TEST(MeterFraming, BadArgumentsFailWithoutTouchingState) {
  VirtualMeter meter(MeterConfig{});
  uint8_t block[4];
  EXPECT_FALSE(meter.OnHostRead(block, sizeof block, nullptr));
  uint32_t done = 0;
  EXPECT_FALSE(meter.OnHostRead(nullptr, 4, &done));
  EXPECT_FALSE(meter.OnHostWrite(nullptr, 4));
  EXPECT_EQ(meter.ExchangeCount(), 0);
}

TEST(MeterTranscript, HoldsEveryWriteAndEveryDeliveredBlock) {
  VirtualMeter meter(MeterConfig{});
  Command(meter, "QPID");
  ReadReply(meter, 3);
  using E = VirtualMeter::TranscriptEntry;
  using D = VirtualMeter::Direction;
  const std::vector<E> expected = {
      {D::kHostToMeter, Bytes{'Q', 'P', 'I', 'D', '\n'}},
      {D::kMeterToHost, Bytes{'L', 'X', '4'}},
      {D::kMeterToHost, Bytes{'0', '\r'}},
  };
  EXPECT_EQ(meter.Transcript(), expected);
  EXPECT_EQ(meter.ExchangeCount(), 1);
  meter.ClearTranscript();
  EXPECT_TRUE(meter.Transcript().empty());
}

}  // namespace
