// sendUSBBin, sendUSBBytes and recvUSBBin: raw bytes on the pipes of the
// selected meter, as the handshaken sensor data load uses them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "meter_bus.h"
#include "meterlink.h"

namespace mltest {
namespace {

using ::testing::ElementsAre;

class RawTransferTest : public MeterBusTest {};

TEST_F(RawTransferTest, SendUsbBinWritesOnlyTheLowByte) {
  auto meter = SelectedMeter();
  const int readsBefore = meter->ReadCount();
  EXPECT_EQ(sendUSBBin(0x155), MLINK_OK);
  EXPECT_EQ(sendUSBBin(0), MLINK_OK);
  EXPECT_THAT(meter->Writes(), ElementsAre(Bytes{0x55}, Bytes{0x00}));
  EXPECT_EQ(meter->ReadCount(), readsBefore);
}

struct BlockCase {
  int32_t count;
  int32_t result;
  std::size_t written;  // bytes in the one write, or 0 for no write
};

class SendBytesTest : public RawTransferTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(SendBytesTest, WritesCountBytesInOneWrite) {
  const BlockCase c = GetParam();
  auto meter = SelectedMeter();
  std::vector<uint8_t> data(300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  EXPECT_EQ(sendUSBBytes(data.data(), c.count), c.result);
  if (c.written == 0) {
    EXPECT_TRUE(meter->Writes().empty());
  } else {
    EXPECT_THAT(meter->Writes(), ElementsAre(Bytes(data.begin(), data.begin() + c.written)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SendBytesTest,
    ::testing::Values(BlockCase{6, MLINK_OK, 6}, BlockCase{2, MLINK_OK, 2},
                      BlockCase{1, MLINK_OK, 1}, BlockCase{127, MLINK_OK, 127},
                      // only the low byte counts
                      BlockCase{0x106, MLINK_OK, 6}, BlockCase{0, MLINK_RAW_FAILED, 0},
                      BlockCase{128, MLINK_RAW_FAILED, 0}, BlockCase{255, MLINK_RAW_FAILED, 0},
                      BlockCase{-1, MLINK_RAW_FAILED, 0}, BlockCase{0x100, MLINK_RAW_FAILED, 0}));

TEST_F(RawTransferTest, SendUsbBytesWithNullDataIsBadArgument) {
  auto meter = SelectedMeter();
  EXPECT_EQ(sendUSBBytes(nullptr, 6), MLINK_BAD_ARGUMENT);
  EXPECT_TRUE(meter->Writes().empty());
}

TEST_F(RawTransferTest, FailedWritesGiveZero) {
  auto meter = SelectedMeter();
  meter->FailWrites(true);
  const uint8_t record[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(sendUSBBin(0x55), MLINK_RAW_FAILED);
  EXPECT_EQ(sendUSBBytes(record, 6), MLINK_RAW_FAILED);
}

TEST_F(RawTransferTest, ReceiveThenTakeHandsOutTheBytesInOrderAndNoMore) {
  auto meter = SelectedMeter();
  meter->ServeNow({Bytes{0x55, 0x01, 0x02}});
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_OK);
  uint8_t byte = 0;
  std::vector<uint8_t> taken;
  while (recvUSBBin(&byte) == MLINK_OK) taken.push_back(byte);
  EXPECT_THAT(taken, ElementsAre(0x55, 0x01, 0x02));
  EXPECT_TRUE(meter->Writes().empty());
}

TEST_F(RawTransferTest, TakeOnHandIsTheLastNonEmptyBlock) {
  auto meter = SelectedMeter();
  meter->ServeNow({Bytes{'A', 'B', 'C'}, Bytes{'X', 'Y'}});
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_OK);
  uint8_t byte = 0;
  std::vector<uint8_t> taken;
  while (recvUSBBin(&byte) == MLINK_OK) taken.push_back(byte);
  EXPECT_THAT(taken, ElementsAre('X', 'Y'));
}

TEST_F(RawTransferTest, TakeNeverGoesPastAFull64ByteBlock) {
  auto meter = SelectedMeter();
  Bytes answer(100);
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<uint8_t>(i);
  meter->ServeNow({Bytes(answer.begin(), answer.begin() + 64)});
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_OK);
  uint8_t byte = 0;
  int taken = 0;
  while (recvUSBBin(&byte) == MLINK_OK) {
    EXPECT_EQ(byte, taken);
    ++taken;
  }
  EXPECT_EQ(taken, 64);
}

TEST_F(RawTransferTest, AnswerWithoutBytesIsNotMistakenForTheEarlierOne) {
  auto meter = SelectedMeter();
  meter->ServeNow({Bytes{0x55}});
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  uint8_t byte = 0;
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  ASSERT_EQ(byte, 0x55);

  // The next answer carries nothing: the 0x55 still in the buffer is not
  // handed out again.
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_OK);
  byte = 0xAA;
  EXPECT_EQ(recvUSBBin(&byte), MLINK_RAW_FAILED);
  EXPECT_EQ(byte, 0xAA);
}

TEST_F(RawTransferTest, EachReceiveStartsAgainAtTheFirstByte) {
  auto meter = SelectedMeter();
  meter->ServeNow({Bytes{1, 2}});
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  uint8_t byte = 0;
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  meter->ServeNow({Bytes{9, 8}});
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  EXPECT_EQ(byte, 9);
}

TEST_F(RawTransferTest, FailedReceiveGivesZeroAndLeavesNothingToTake) {
  auto meter = SelectedMeter();
  meter->ServeNow({Bytes{0x55}});
  meter->FailReadsFrom(meter->ReadCount() + 2);  // the block comes, the idle read fails
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_RAW_FAILED);
  uint8_t byte = 0xAA;
  EXPECT_EQ(recvUSBBin(&byte), MLINK_RAW_FAILED);
  EXPECT_EQ(byte, 0xAA);
}

TEST_F(RawTransferTest, MeterThatNeverStopsSendingEndsTheReceive) {
  auto meter = SelectedMeter();
  meter->SendForever(true);
  const int readsBefore = meter->ReadCount();
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_RAW_FAILED);
  EXPECT_EQ(meter->ReadCount() - readsBefore, 1024);
  uint8_t byte = 0xAA;
  EXPECT_EQ(recvUSBBin(&byte), MLINK_RAW_FAILED);
}

TEST_F(RawTransferTest, HandshakeTranscript) {
  // "HOSEI", one echoed header byte, the 0x55 handshake, one record and the
  // trailer, each answered by the meter before the next goes out.
  auto meter = SelectedMeter();
  meter->QueueAnswer({Bytes{'U'}});   // to "HOSEI"
  meter->QueueAnswer({Bytes{0x10}});  // echo of the header byte
  meter->QueueAnswer({Bytes{0x55}});  // to the handshake
  meter->QueueAnswer({Bytes{0x55}});  // before the record
  meter->QueueAnswer({Bytes{0x55}});  // to the record
  meter->QueueAnswer({Bytes{0x55}});  // to the trailer
  const uint8_t record[6] = {0x05, 0x14, 0x3F, 0x80, 0x00, 0x00};
  const uint8_t trailer[2] = {0xBE, 0xEF};
  uint8_t byte = 0;

  ASSERT_EQ(USBComd_SendRecv("HOSEI", nullptr), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(sendUSBBin(0x10), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  EXPECT_EQ(byte, 0x10);
  ASSERT_EQ(sendUSBBin(0x55), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  EXPECT_EQ(byte, 0x55);
  ASSERT_EQ(sendUSBBin(0x55), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(sendUSBBytes(record, 6), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(sendUSBBytes(trailer, 2), MLINK_OK);
  ASSERT_EQ(recvUSBBin(nullptr), MLINK_OK);
  ASSERT_EQ(recvUSBBin(&byte), MLINK_OK);
  EXPECT_EQ(byte, 0x55);

  EXPECT_THAT(meter->Writes(),
              ElementsAre(ToBytes("HOSEI\n"), Bytes{0x10}, Bytes{0x55}, Bytes{0x55},
                          Bytes(record, record + 6), Bytes(trailer, trailer + 2)));
}

}  // namespace
}  // namespace mltest
