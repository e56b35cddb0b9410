// USBComd_SendRecv: command framing on pipe 0, reply framing on pipe 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "meter_bus.h"
#include "meterlink.h"

namespace mltest {
namespace {

using ::testing::ElementsAre;

class TextExchangeTest : public MeterBusTest {};

TEST_F(TextExchangeTest, CommandGoesOutAsTextAndLfAndReplyLosesCrLf) {
  auto meter = SelectedMeter();
  meter->QueueText("BATERY_OK\r\n");
  char reply[64] = {};
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_OK);
  EXPECT_STREQ(reply, "BATERY_OK");
  EXPECT_THAT(meter->Writes(), ElementsAre(ToBytes("BTRY\n")));
}

TEST_F(TextExchangeTest, HundredCharacterCommandIsOneWriteOf101Bytes) {
  auto meter = SelectedMeter();
  const std::string command(100, 'C');
  EXPECT_EQ(USBComd_SendRecv(command.c_str(), nullptr), MLINK_OK);
  EXPECT_THAT(meter->Writes(), ElementsAre(ToBytes(command + "\n")));
}

TEST_F(TextExchangeTest, CommandOf101CharactersIsRefusedWithoutWriting) {
  auto meter = SelectedMeter();
  const std::string command(101, 'C');
  const int readsBefore = meter->ReadCount();
  char reply[64] = "untouched";
  EXPECT_EQ(USBComd_SendRecv(command.c_str(), reply), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
  EXPECT_EQ(meter->ReadCount(), readsBefore);
}

TEST_F(TextExchangeTest, HoseiWithoutReplyBufferWritesAndDoesNotRead) {
  auto meter = SelectedMeter();
  meter->QueueText("U");  // the meter's answer stays unread
  const int readsBefore = meter->ReadCount();
  EXPECT_EQ(USBComd_SendRecv("HOSEI", nullptr), MLINK_OK);
  EXPECT_THAT(meter->Writes(), ElementsAre(ToBytes("HOSEI\n")));
  EXPECT_EQ(meter->ReadCount(), readsBefore);
}

TEST_F(TextExchangeTest, BothArgumentsNullDoNothing) {
  auto meter = SelectedMeter();
  const int readsBefore = meter->ReadCount();
  EXPECT_EQ(USBComd_SendRecv(nullptr, nullptr), MLINK_RAW_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
  EXPECT_EQ(meter->ReadCount(), readsBefore);
}

TEST_F(TextExchangeTest, NullCommandReceivesOnly) {
  auto meter = SelectedMeter();
  meter->ServeNow(TextAnswer("LATE\r"));
  char reply[64] = {};
  EXPECT_EQ(USBComd_SendRecv(nullptr, reply), MLINK_OK);
  EXPECT_STREQ(reply, "LATE");
  EXPECT_TRUE(meter->Writes().empty());
}

// How a reply, as the blocks the reply pipe delivers, is unframed.
struct ReplyCase {
  const char* name;
  Answer blocks;
  int32_t result;
  std::string text;  // the caller's buffer afterwards ("previous" when untouched)
};

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

Bytes WithNul() {
  Bytes b = ToBytes("OK");
  b.push_back(0);
  const Bytes rest = ToBytes("X\r");
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

const ReplyCase kReplyCases[] = {
    {"CrLf", {ToBytes("OK\r\n")}, MLINK_OK, "OK"},
    {"NoCr", {ToBytes("OK")}, MLINK_NOT_RECOGNISED, "previous"},
    {"OnlyLf", {ToBytes("OK\n")}, MLINK_NOT_RECOGNISED, "previous"},
    {"NoBytesAtAll", {}, MLINK_NOT_RECOGNISED, "previous"},
    {"EmptyText", {ToBytes("\r")}, MLINK_OK, ""},
    {"TextAfterCrDropped", {ToBytes("A:1\rB:2\r")}, MLINK_OK, "A:1"},
    {"SplitKeepsLastBlockOverFirst", {ToBytes("BATERY_"), ToBytes("OK\r")}, MLINK_OK, "OK"},
    {"SplitLastBlockWithoutCr", {ToBytes("ABCDEFG\r"), ToBytes("XY")}, MLINK_OK, "XYCDEFG"},
    {"LongestReply", {ToBytes(Repeat('R', 63) + "\r")}, MLINK_OK, Repeat('R', 63)},
    {"FullBlockWithoutCr", {ToBytes(Repeat('R', 64))}, MLINK_NOT_RECOGNISED, "previous"},
    // 80 bytes come as a 64-byte read and a 16-byte read over its start.
    {"OverlongReplyIsTwoBlocks",
     {ToBytes(Repeat('A', 63) + "\r" + Repeat('B', 16))},
     MLINK_OK,
     Repeat('B', 16) + Repeat('A', 47)},
    {"NulBeforeCrEndsTheText", {WithNul()}, MLINK_NOT_RECOGNISED, "previous"},
};

class ReplyFramingTest : public TextExchangeTest,
                         public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyFramingTest, UnframesReply) {
  const ReplyCase& c = GetParam();
  auto meter = SelectedMeter();
  meter->QueueAnswer(c.blocks);
  char reply[64] = "previous";
  EXPECT_EQ(USBComd_SendRecv("GET_MODE", reply), c.result);
  EXPECT_EQ(std::string(reply), c.text);
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyFramingTest, ::testing::ValuesIn(kReplyCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(TextExchangeTest, WritesNoMoreThanTheReplyAndItsNul) {
  auto meter = SelectedMeter();
  // Sensorwiz's battery buffer holds 12 bytes; "BATERY_OK" needs 10.
  meter->QueueText("BATERY_OK\r\n");
  unsigned char guarded[80];
  std::memset(guarded, 0xEE, sizeof guarded);
  EXPECT_EQ(USBComd_SendRecv("BTRY", reinterpret_cast<char*>(guarded)), MLINK_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(guarded), "BATERY_OK");
  for (std::size_t i = 10; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 0xEE) << i;

  // The longest reply fills 64 bytes, never more.
  meter->QueueText(Repeat('R', 63) + "\r");
  std::memset(guarded, 0xEE, sizeof guarded);
  EXPECT_EQ(USBComd_SendRecv("TEST", reinterpret_cast<char*>(guarded)), MLINK_OK);
  for (std::size_t i = 64; i < sizeof guarded; ++i) ASSERT_EQ(guarded[i], 0xEE) << i;
}

TEST_F(TextExchangeTest, WriteFailureIsTransportFailure) {
  auto meter = SelectedMeter();
  meter->FailWrites(true);
  char reply[64] = "previous";
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_TRANSPORT_FAILED);
  EXPECT_STREQ(reply, "previous");  // nothing was read
}

TEST_F(TextExchangeTest, ReadFailureEmptiesTheReply) {
  auto meter = SelectedMeter();
  meter->FailReads(true);
  char reply[64] = "previous";
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_TRANSPORT_FAILED);
  EXPECT_STREQ(reply, "");
}

TEST_F(TextExchangeTest, MeterThatNeverStopsSendingEndsAsTransportFailure) {
  auto meter = SelectedMeter();
  meter->SendForever(true);
  const int readsBefore = meter->ReadCount();
  char reply[64] = "previous";
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_TRANSPORT_FAILED);
  EXPECT_STREQ(reply, "");
  EXPECT_EQ(meter->ReadCount() - readsBefore, 1024);
}

TEST_F(TextExchangeTest, EveryReadAsksFor64Bytes) {
  // A block longer than 64 bytes arrives in 64-byte pieces: four reads of
  // 200 bytes' worth (64, 64, 64, 8), then the idle read.
  auto meter = SelectedMeter();
  meter->QueueText(Repeat('x', 192) + "OK\r" + Repeat('y', 5));
  const int readsBefore = meter->ReadCount();
  char reply[64] = {};
  EXPECT_EQ(USBComd_SendRecv("TEST", reply), MLINK_OK);
  EXPECT_EQ(meter->ReadCount() - readsBefore, 5);
  EXPECT_EQ(std::string(reply), "OK");
}

TEST_F(TextExchangeTest, NoMeterSelectedFailsEveryExchange) {
  auto meter = PlugMeter("A12345678");
  char reply[64] = "previous";
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(USBComd_SendRecv("BTRY", nullptr), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(sendUSBBin(0x55), MLINK_RAW_FAILED);
  const uint8_t block[2] = {1, 2};
  EXPECT_EQ(sendUSBBytes(block, 2), MLINK_RAW_FAILED);
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_RAW_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
  EXPECT_EQ(meter->ReadCount(), 0);
}

}  // namespace
}  // namespace mltest
