// The sensor data load after "HOSEI": echo, handshakes, records, and the
// check of the whole table at the trailer.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "meter/virtual_meter.h"
#include "meter_host.h"

namespace {

using meter_test::Ask;
using meter_test::Bytes;
using meter_test::Exchange;
using meter_test::LoadAnswers;
using meter_test::LoadTable;
using meter_test::MakeTable;
using usbsim::MeterConfig;
using usbsim::VirtualMeter;

const Bytes kAck{0x55};
const Bytes kNak{0x15};

TEST(MeterLoad, GoodTableIsAcknowledgedStoredAndReportedByTest) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(2, 3);
  const LoadAnswers answers = LoadTable(meter, table);

  EXPECT_EQ(answers.hosei, kAck);
  EXPECT_EQ(answers.echoes, Bytes(table.begin(), table.begin() + 16));
  EXPECT_EQ(answers.header_ack, kAck);
  ASSERT_EQ(answers.record_acks.size(), 4u);  // before record 1, then after each record
  for (const Bytes& ack : answers.record_acks) EXPECT_EQ(ack, kAck);
  EXPECT_EQ(answers.trailer_ack, kAck);

  EXPECT_EQ(meter.SlotContent(2), table);
  EXPECT_TRUE(meter.SlotFilled(2));
  EXPECT_FALSE(meter.SlotContent(1).has_value());
  EXPECT_FALSE(meter.LoadInProgress());
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:0010000\r");
  // 1 HOSEI + 16 header bytes + 2 handshakes + 3 records + trailer + TEST.
  EXPECT_EQ(meter.ExchangeCount(), 24);
}

TEST(MeterLoad, LaterLoadIntoTheSameSlotReplacesTheTable) {
  VirtualMeter meter(MeterConfig{});
  LoadTable(meter, MakeTable(6, 2));
  const Bytes second = MakeTable(6, 5);
  EXPECT_EQ(LoadTable(meter, second).trailer_ack, kAck);
  EXPECT_EQ(meter.SlotContent(6), second);
}

struct BadTableCase {
  const char* name;
  std::function<void(Bytes&)> spoil;
};

class RefusedTableTest : public testing::TestWithParam<BadTableCase> {};

TEST_P(RefusedTableTest, TrailerIsRefusedAndNothingIsStored) {
  MeterConfig config;
  config.slots_filled[0] = true;
  VirtualMeter meter(config);
  Bytes table = MakeTable(3, 4);
  GetParam().spoil(table);
  const LoadAnswers answers = LoadTable(meter, table);
  EXPECT_EQ(answers.trailer_ack, kNak);
  for (int slot = 0; slot < usbsim::kMeterSlotCount; ++slot) {
    EXPECT_FALSE(meter.SlotContent(slot).has_value()) << "slot " << slot;
  }
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:1000000\r");
  EXPECT_FALSE(meter.LoadInProgress());
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RefusedTableTest,
    testing::Values(
        BadTableCase{"OneRecordByteWrong", [](Bytes& spoiled) { spoiled[16 + 6 + 3] ^= 0x01; }},
        BadTableCase{"OneHeaderByteWrong", [](Bytes& spoiled) { spoiled[9] ^= 0x80; }},
        BadTableCase{"TrailerWrong", [](Bytes& spoiled) { spoiled.back() ^= 0x01; }},
        BadTableCase{"TotalSizeTooSmall",
                     [](Bytes& spoiled) {
                       meter_test::PutU16(spoiled, 0, static_cast<uint16_t>(spoiled.size() - 1));
                       meter_test::Reseal(spoiled);
                     }},
        BadTableCase{"TotalSizeTooLarge",
                     [](Bytes& spoiled) {
                       meter_test::PutU16(spoiled, 0, static_cast<uint16_t>(spoiled.size() + 6));
                       meter_test::Reseal(spoiled);
                     }},
        BadTableCase{"SlotOutOfRange",
                     [](Bytes& spoiled) {
                       meter_test::PutU16(spoiled, 4, 7);
                       meter_test::Reseal(spoiled);
                     }},
        BadTableCase{"SlotHighByteSet",
                     [](Bytes& spoiled) {
                       meter_test::PutU16(spoiled, 4, 0x0103);
                       meter_test::Reseal(spoiled);
                     }}),
    [](const testing::TestParamInfo<BadTableCase>& case_info) {
      return std::string(case_info.param.name);
    });

TEST(MeterLoad, TableWithoutRecordsIsRefusedAtItsTrailer) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(1, 0);  // 18 bytes, record count 0, correct CRC
  const LoadAnswers answers = LoadTable(meter, table);
  EXPECT_EQ(answers.header_ack, kAck);
  EXPECT_EQ(answers.trailer_ack, kNak);
  EXPECT_FALSE(meter.SlotContent(1).has_value());
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:0000000\r");
}

TEST(MeterLoad, RecordCountNoTableCanHoldIsRefusedAfterTheHeader) {
  VirtualMeter meter(MeterConfig{});
  Bytes header = MakeTable(1, 1);
  meter_test::PutU16(header, 2, 20000);  // 16 + 6 * 20000 + 2 bytes do not fit 16 bits
  Exchange(meter, Bytes{'H', 'O', 'S', 'E', 'I', '\n'});
  for (size_t i = 0; i < 16; ++i) Exchange(meter, Bytes{header[i]});
  EXPECT_EQ(Exchange(meter, Bytes{0x55}), kNak);
  EXPECT_FALSE(meter.LoadInProgress());
}

TEST(MeterLoad, HandshakeOtherThanAckEndsTheLoadWithNak) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(1, 1);
  Exchange(meter, Bytes{'H', 'O', 'S', 'E', 'I', '\n'});
  for (size_t i = 0; i < 16; ++i) Exchange(meter, Bytes{table[i]});
  EXPECT_EQ(Exchange(meter, Bytes{0x55}), kAck);
  EXPECT_EQ(Exchange(meter, Bytes{0x56}), kNak);
  EXPECT_FALSE(meter.LoadInProgress());
  EXPECT_EQ(Exchange(meter, Bytes{0x55}), kNak);  // nothing to hand the byte to any more
}

// A host that writes the same bytes in other chunk sizes: the meter reads a
// byte stream and answers each write with the answers of every unit it
// completed.
class ChunkedLoadTest : public testing::TestWithParam<size_t> {};

TEST_P(ChunkedLoadTest, TableArrivesAsAByteStream) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(4, 5);
  Bytes stream(table.begin(), table.begin() + 16);
  stream.push_back(0x55);
  stream.push_back(0x55);
  stream.insert(stream.end(), table.begin() + 16, table.end());

  Bytes expected_answers(table.begin(), table.begin() + 16);  // echoes
  expected_answers.insert(expected_answers.end(), 2 + 5 + 1, 0x55);

  EXPECT_EQ(Exchange(meter, Bytes{'H', 'O', 'S', 'E', 'I', '\n'}), kAck);
  Bytes answers;
  const size_t chunk = GetParam();
  for (size_t at = 0; at < stream.size(); at += chunk) {
    const size_t end = std::min(stream.size(), at + chunk);
    const Bytes part(stream.begin() + static_cast<long>(at),
                     stream.begin() + static_cast<long>(end));
    const Bytes answer = Exchange(meter, part);
    answers.insert(answers.end(), answer.begin(), answer.end());
  }
  EXPECT_EQ(answers, expected_answers);
  EXPECT_EQ(meter.SlotContent(4), table);
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, ChunkedLoadTest, testing::Values(1u, 2u, 5u, 7u, 64u, 1000u));

TEST(MeterLoad, CommandLineInTheMiddleOfALoadEndsItAndIsAnswered) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(2, 2);
  Exchange(meter, Bytes{'H', 'O', 'S', 'E', 'I', '\n'});
  for (size_t i = 0; i < 5; ++i) Exchange(meter, Bytes{table[i]});
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:0000000\r");
  EXPECT_FALSE(meter.LoadInProgress());
  // A fresh load after the interruption works from the start.
  EXPECT_EQ(LoadTable(meter, table).trailer_ack, kAck);
  EXPECT_EQ(meter.SlotContent(2), table);
}

TEST(MeterLoad, LineFeedBytesInsideTheTableAreData) {
  VirtualMeter meter(MeterConfig{});
  Bytes table = MakeTable(5, 2);
  meter_test::PutU16(table, 6, 0x0A0A);  // type code made of LF bytes
  meter_test::Reseal(table);
  const LoadAnswers answers = LoadTable(meter, table);
  EXPECT_EQ(answers.echoes[6], 0x0A);
  EXPECT_EQ(answers.echoes[7], 0x0A);
  EXPECT_EQ(answers.trailer_ack, kAck);
  EXPECT_EQ(meter.SlotContent(5), table);
}

TEST(MeterLoad, HoseiAgainRestartsTheLoad) {
  VirtualMeter meter(MeterConfig{});
  const Bytes table = MakeTable(0, 1);
  Exchange(meter, Bytes{'H', 'O', 'S', 'E', 'I', '\n'});
  for (size_t i = 0; i < 16; ++i) Exchange(meter, Bytes{0xEE});
  EXPECT_EQ(LoadTable(meter, table).trailer_ack, kAck);
  EXPECT_EQ(meter.SlotContent(0), table);
}

TEST(MeterLoad, OwnCrcMatchesTheKnownCheckValue) {
  // The tests' CRC must be right for the load tests to mean anything.
  const std::string check = "123456789";
  EXPECT_EQ(meter_test::Crc16(Bytes(check.begin(), check.end()), check.size()), 0x29B1);
}

}  // namespace
