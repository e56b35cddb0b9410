// CMeterSession against virtual meters on the simulated bus, through the
// real Meterlink: opening and stepping through meters, the battery and slot
// queries, and the handshaken load of a sensor data table.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "compiled_in_resources.h"
#include "memory_resources.h"
#include "meter_rig.h"
#include "meter_session.h"
#include "sensor_data.h"

namespace {

using rig::Bytes;
using rig::MeterTap;
using rig::ToBytes;
using usbsim::MeterConfig;
using usbsim::VirtualMeter;
using Direction = VirtualMeter::Direction;

constexpr uint8_t kAck = 0x55;
constexpr uint8_t kNak = 0x15;

// What one table transfer did, step by step as the run drives it.
struct Transfer {
  bool started = false;
  bool header = false;
  int recordCalls = 0;
  int recordTrues = 0;
  bool trailer = false;
  int32_t result = 1;
};

Transfer SendTable(CMeterSession& session, const uint8_t* table, uint16_t records) {
  Transfer transfer;
  uint8_t count = 0;
  transfer.started = session.StartHosei(table, records);
  if (transfer.started) transfer.header = session.SendHeaderBlock(&count);
  if (transfer.header) {
    EXPECT_EQ(count, 16);
    for (;;) {
      ++transfer.recordCalls;
      count = 0;
      const bool more = session.SendRecord(&count);
      EXPECT_EQ(count, 6);
      if (!more) break;
      ++transfer.recordTrues;
      if (transfer.recordCalls > records) break;  // a runaway loop fails, never hangs
    }
    transfer.trailer = session.SendTrailer();
  }
  transfer.result = session.m_result;
  return transfer;
}

Bytes Span(const uint8_t* data, size_t size) { return Bytes(data, data + size); }

class MeterSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(builtIn.LoadAll()); }

  // One meter, opened and made current, its transcript cleared.
  std::shared_ptr<VirtualMeter> CurrentMeter(MeterConfig config = {}) {
    auto meter = bench.Attach(std::move(config));
    int32_t count = 0;
    EXPECT_TRUE(session.OpenMeters(&count));
    EXPECT_EQ(count, 1);
    std::string serial;
    EXPECT_TRUE(session.NextMeter(serial));
    meter->ClearTranscript();
    return meter;
  }

  // The built-in table `index`: its bytes and record count.
  Bytes BuiltInTable(uint8_t index) {
    builtIn.Select(index);
    return Span(builtIn.Table(), builtIn.TotalSize());
  }
  uint16_t BuiltInRecords(uint8_t index) {
    builtIn.Select(index);
    return builtIn.RecordCount();
  }

  rig::MeterBench bench;
  CompiledInResources resources;
  CSensorData builtIn{resources};
  CMeterSession session;
};

// --- Opening and stepping through meters ------------------------------------

TEST_F(MeterSessionTest, OpenMetersCountsTheMeters) {
  bench.Attach(rig::MeterWithSerial("A12345678"));
  bench.Attach(rig::MeterWithSerial("B23456789"));
  int32_t count = 0;
  EXPECT_TRUE(session.OpenMeters(&count));
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(session.IsOk());
}

TEST_F(MeterSessionTest, OpenMetersWithoutMeterFails) {
  int32_t count = 0;
  EXPECT_FALSE(session.OpenMeters(&count));
  EXPECT_EQ(session.m_result, -2);
}

TEST_F(MeterSessionTest, OpenMetersWithAnotherModelGivesMinusSix) {
  MeterConfig config;
  config.model = "LX41";
  bench.Attach(config);
  int32_t count = 0;
  EXPECT_FALSE(session.OpenMeters(&count));
  EXPECT_EQ(session.m_result, -6);
  EXPECT_EQ(session.GetMessageId(), 0u);
}

TEST_F(MeterSessionTest, NextMeterEndsTheListWithSuccessAndStartsAgain) {
  auto first = bench.Attach(rig::MeterWithSerial("A12345678"));
  auto second = bench.Attach(rig::MeterWithSerial("B23456789"));
  int32_t count = 0;
  ASSERT_TRUE(session.OpenMeters(&count));

  std::string serial;
  ASSERT_TRUE(session.NextMeter(serial));
  EXPECT_EQ(serial, "A12345678");
  ASSERT_TRUE(session.NextMeter(serial));
  EXPECT_EQ(serial, "B23456789");

  // The end of the list is not a failure.
  EXPECT_FALSE(session.NextMeter(serial));
  EXPECT_EQ(session.m_result, 1);
  EXPECT_TRUE(session.IsOk());
  EXPECT_EQ(serial, "B23456789");

  // Called again, the list starts from the first meter, which becomes current.
  ASSERT_TRUE(session.NextMeter(serial));
  EXPECT_EQ(serial, "A12345678");
  first->ClearTranscript();
  second->ClearTranscript();
  uint8_t slots[7] = {};
  ASSERT_TRUE(session.QueryTest(slots));
  EXPECT_EQ(rig::CountWrites(first->Transcript(), "TEST\n"), 1);
  EXPECT_EQ(rig::CountWrites(second->Transcript(), "TEST\n"), 0);
}

TEST_F(MeterSessionTest, NextMeterWithoutDeviceTableFails) {
  std::string serial = "unchanged";
  EXPECT_FALSE(session.NextMeter(serial));
  EXPECT_EQ(session.m_result, -2);
  EXPECT_EQ(serial, "unchanged");
}

// --- Battery and slot queries -------------------------------------------------

struct BatteryCase {
  const char* reply;
  bool usable;
  int32_t result;
};

class BatteryReplyTest : public MeterSessionTest,
                         public ::testing::WithParamInterface<BatteryCase> {};

TEST_P(BatteryReplyTest, OnlyBateryLoFails) {
  const BatteryCase& c = GetParam();
  auto meter = CurrentMeter();
  usbsim::MeterFaults faults;
  faults.error_replies["BTRY"] = c.reply;
  meter->SetFaults(faults);
  EXPECT_EQ(session.QueryBattery(), c.usable);
  EXPECT_EQ(session.m_result, c.result);
  EXPECT_EQ(rig::HostWrites(meter->Transcript()), std::vector<Bytes>{ToBytes("BTRY\n")});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, BatteryReplyTest,
    ::testing::Values(BatteryCase{"BATERY_OK", true, 1}, BatteryCase{"FULL", true, 1},
                      BatteryCase{"", true, 1}, BatteryCase{"BATERY_LOW", true, 1},
                      BatteryCase{"bATERY_LO", true, 1},
                      // Longer than the 11 characters kept: cut, never written past.
                      BatteryCase{"BATERY_LO_BATERY_LO_BATERY_LO_BATERY_LO_BATERY_LO", true, 1},
                      BatteryCase{"BATERY_LO", false, -5}));

TEST_F(MeterSessionTest, LowBatteryStopsTheSlotQueryBeforeTest) {
  MeterConfig config;
  config.battery_low = true;
  auto meter = CurrentMeter(config);
  uint8_t slots[7] = {9, 9, 9, 9, 9, 9, 9};
  EXPECT_FALSE(session.QueryTest(slots));
  EXPECT_EQ(session.m_result, -5);
  EXPECT_EQ(session.GetMessageId(), 603u);
  EXPECT_EQ(rig::HostWrites(meter->Transcript()), std::vector<Bytes>{ToBytes("BTRY\n")});
}

TEST_F(MeterSessionTest, BatteryReplyWithoutCarriageReturnFails) {
  auto meter = CurrentMeter();
  usbsim::MeterFaults faults;
  faults.no_cr.insert("BTRY");
  meter->SetFaults(faults);
  EXPECT_FALSE(session.QueryBattery());
  EXPECT_EQ(session.m_result, -4);
}

// Slot digits: 0 for an empty slot; anything else counts as filled.
constexpr int kFilled = -1;

struct TestReplyCase {
  const char* reply;
  int digits[7];  // expected digit, or kFilled for "any non-zero value"
};

class TestReplyTest : public MeterSessionTest,
                      public ::testing::WithParamInterface<TestReplyCase> {};

TEST_P(TestReplyTest, SlotDigits) {
  const TestReplyCase& c = GetParam();
  auto meter = CurrentMeter();
  usbsim::MeterFaults faults;
  faults.error_replies["TEST"] = c.reply;
  meter->SetFaults(faults);
  uint8_t slots[7] = {7, 7, 7, 7, 7, 7, 7};
  ASSERT_TRUE(session.QueryTest(slots)) << c.reply;
  EXPECT_EQ(session.m_result, 1);
  for (int i = 0; i < 7; ++i) {
    if (c.digits[i] == kFilled) {
      EXPECT_NE(slots[i], 0) << c.reply << " slot " << i;
    } else {
      EXPECT_EQ(slots[i], c.digits[i]) << c.reply << " slot " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TestReplyTest,
    ::testing::Values(
        TestReplyCase{"TEST:0101000", {0, 1, 0, 1, 0, 0, 0}},
        TestReplyCase{"TEST:1111111", {1, 1, 1, 1, 1, 1, 1}},
        // No ':' at all: every slot empty.
        TestReplyCase{"TEST0101000", {0, 0, 0, 0, 0, 0, 0}},
        TestReplyCase{"", {0, 0, 0, 0, 0, 0, 0}},
        // Positions past the end of a short reply count as filled.
        TestReplyCase{"TEST:01", {0, 1, kFilled, kFilled, kFilled, kFilled, kFilled}},
        TestReplyCase{"TEST:", {kFilled, kFilled, kFilled, kFilled, kFilled, kFilled, kFilled}},
        // Only the first ':' counts, and the digits are not checked.
        TestReplyCase{"X:0:00000", {0, 10, 0, 0, 0, 0, 0}},
        // A late ':': the 20-byte reply buffer holds 19 characters, so the
        // positions from 19 on count as filled.
        TestReplyCase{"ABCDEFGHIJKLMNO:0000000", {0, 0, 0, kFilled, kFilled, kFilled, kFilled}},
        TestReplyCase{"ABCDEFGHIJKLMNOPQR:0000000",
                      {kFilled, kFilled, kFilled, kFilled, kFilled, kFilled, kFilled}},
        // A ':' beyond the 19 characters kept still announces the digits,
        // and all of them lie past the buffer: every slot counts as filled.
        TestReplyCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ:0000000",
                      {kFilled, kFilled, kFilled, kFilled, kFilled, kFilled, kFilled}}));

TEST_F(MeterSessionTest, TestErrorFailsWithMeterlinkCode) {
  auto meter = CurrentMeter();
  usbsim::MeterFaults faults;
  faults.no_cr.insert("TEST");
  meter->SetFaults(faults);
  uint8_t slots[7] = {};
  EXPECT_FALSE(session.QueryTest(slots));
  EXPECT_EQ(session.m_result, -4);
  EXPECT_EQ(session.GetMessageId(), 602u);
}

// --- The table transfer -------------------------------------------------------

TEST_F(MeterSessionTest, BothBuiltInTablesArriveByteForByte) {
  auto meter = CurrentMeter();
  for (uint8_t index = 0; index < 2; ++index) {
    const Bytes table = BuiltInTable(index);
    const Transfer transfer = SendTable(session, table.data(), BuiltInRecords(index));
    EXPECT_TRUE(transfer.trailer) << "table " << int{index};
  }
  EXPECT_EQ(meter->SlotContent(1), std::optional<Bytes>(BuiltInTable(0)));
  EXPECT_EQ(meter->SlotContent(3), std::optional<Bytes>(BuiltInTable(1)));

  uint8_t slots[7] = {};
  ASSERT_TRUE(session.QueryTest(slots));
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(slots[i] != 0, i == 1 || i == 3) << "slot " << i;
  }
}

TEST_F(MeterSessionTest, OneTableIsExactlyTheTwelveSteps) {
  auto meter = CurrentMeter();
  const Bytes table = BuiltInTable(1);
  const uint16_t records = BuiltInRecords(1);
  const Transfer transfer = SendTable(session, table.data(), records);
  ASSERT_TRUE(transfer.trailer);

  using Entry = VirtualMeter::TranscriptEntry;
  std::vector<Entry> expected;
  auto host = [&](Bytes bytes) { expected.push_back({Direction::kHostToMeter, std::move(bytes)}); };
  auto answer = [&](Bytes bytes) {
    expected.push_back({Direction::kMeterToHost, std::move(bytes)});
  };
  host(ToBytes("HOSEI\n"));  // 1
  answer({kAck});            // 2
  for (size_t i = 0; i < 16; ++i) {
    host({table[i]});    // 3
    answer({table[i]});  // 4
  }
  host({kAck});    // 5
  answer({kAck});  // 6
  host({kAck});    // 7
  for (size_t r = 0; r < records; ++r) {
    answer({kAck});  // 8 (and 10 after the last)
    host(Bytes(table.begin() + 16 + 6 * r, table.begin() + 16 + 6 * (r + 1)));  // 9
  }
  answer({kAck});                             // 10
  host(Bytes(table.end() - 2, table.end()));  // 11
  answer({kAck});                             // 12
  EXPECT_EQ(meter->Transcript(), expected);
}

TEST_F(MeterSessionTest, WrongEchoOnThirdHeaderByteStopsTheHeader) {
  MeterConfig config;
  config.faults.wrong_echo_at = 2;
  auto meter = CurrentMeter(config);
  const Bytes table = BuiltInTable(1);
  const Transfer transfer = SendTable(session, table.data(), BuiltInRecords(1));
  EXPECT_TRUE(transfer.started);
  EXPECT_FALSE(transfer.header);
  EXPECT_EQ(transfer.result, -4);
  EXPECT_EQ(rig::HostWrites(meter->Transcript()),
            (std::vector<Bytes>{ToBytes("HOSEI\n"), {table[0]}, {table[1]}, {table[2]}}));
  EXPECT_EQ(meter->SlotContent(3), std::nullopt);
}

TEST_F(MeterSessionTest, MissingEchoFailsTheHeader) {
  auto meter = CurrentMeter();
  const Bytes table = BuiltInTable(1);
  ASSERT_TRUE(session.StartHosei(table.data(), BuiltInRecords(1)));
  usbsim::MeterFaults faults;
  faults.silent_from = meter->ExchangeCount() + 2;  // from the second header byte on
  meter->SetFaults(faults);
  uint8_t count = 0;
  EXPECT_FALSE(session.SendHeaderBlock(&count));
  EXPECT_EQ(session.m_result, -4);
  EXPECT_EQ(rig::HostWrites(meter->Transcript()).size(), 3u);  // HOSEI and two header bytes
}

TEST_F(MeterSessionTest, NakAfterTheHeaderFailsTheHeader) {
  MeterConfig config;
  config.faults.nak_header = true;
  auto meter = CurrentMeter(config);
  const Bytes table = BuiltInTable(1);
  const Transfer transfer = SendTable(session, table.data(), BuiltInRecords(1));
  EXPECT_FALSE(transfer.header);
  EXPECT_EQ(transfer.result, -4);
  // Header, then the handshake that was refused; no second 0x55, no record.
  const auto writes = rig::HostWrites(meter->Transcript());
  ASSERT_EQ(writes.size(), 1u + 16u + 1u);
  EXPECT_EQ(writes.back(), Bytes{kAck});
}

class RecordCountTest : public MeterSessionTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(RecordCountTest, NRecordsAreNCallsOfSendRecord) {
  const uint16_t records = GetParam();
  auto meter = CurrentMeter();
  const Bytes table = MakeSensorTable(2, 9000, records);
  const Transfer transfer = SendTable(session, table.data(), records);
  EXPECT_EQ(transfer.recordCalls, records);
  EXPECT_EQ(transfer.recordTrues, records - 1);
  EXPECT_TRUE(transfer.trailer);
  EXPECT_EQ(meter->SlotContent(2), std::optional<Bytes>(table));
}

INSTANTIATE_TEST_SUITE_P(Counts, RecordCountTest, ::testing::Values(1, 2, 71));

TEST_F(MeterSessionTest, TrailerAnswerDecidesTheTransfer) {
  // Acknowledged: success, while m_result still reads -4 from the last record.
  {
    auto meter = CurrentMeter();
    const Bytes table = BuiltInTable(1);
    const Transfer transfer = SendTable(session, table.data(), BuiltInRecords(1));
    EXPECT_TRUE(transfer.trailer);
    EXPECT_EQ(transfer.result, -4);
    EXPECT_FALSE(session.IsOk());
  }
  // Refused: failure with -4, nothing stored.
  {
    rig::MeterBench otherBench;
    MeterConfig config;
    config.faults.nak_trailer = true;
    auto meter = otherBench.Attach(config);
    CMeterSession other;
    int32_t count = 0;
    std::string serial;
    ASSERT_TRUE(other.OpenMeters(&count));
    ASSERT_TRUE(other.NextMeter(serial));
    const Bytes table = BuiltInTable(1);
    const Transfer transfer = SendTable(other, table.data(), BuiltInRecords(1));
    EXPECT_FALSE(transfer.trailer);
    EXPECT_EQ(transfer.result, -4);
    EXPECT_EQ(other.GetMessageId(), 602u);
    EXPECT_EQ(meter->SlotContent(3), std::nullopt);
    EXPECT_EQ(meter->Transcript().back().bytes, Bytes{kNak});
  }
}

TEST_F(MeterSessionTest, WrongByteInAnAnswerBeforeARecordDoesNotStopTheTransfer) {
  rig::TappedMeter tapped = bench.AttachTapped(MeterConfig{});
  // The answer to record 10, read before record 11, arrives as a NAK; so
  // does the answer to the second handshake, read before record 1.
  tapped.tap->SpoilAnswer(MeterTap::OfSize(6), 10, kNak);
  tapped.tap->SpoilAnswer(MeterTap::Exactly(std::string(1, static_cast<char>(kAck))), 2, kNak);
  int32_t count = 0;
  std::string serial;
  ASSERT_TRUE(session.OpenMeters(&count));
  ASSERT_TRUE(session.NextMeter(serial));
  const Bytes table = BuiltInTable(1);
  const Transfer transfer = SendTable(session, table.data(), BuiltInRecords(1));
  EXPECT_EQ(transfer.recordCalls, BuiltInRecords(1));
  EXPECT_TRUE(transfer.trailer);
  EXPECT_EQ(tapped.meter->SlotContent(3), std::optional<Bytes>(table));
}

TEST_F(MeterSessionTest, AnswerWithoutAByteIsNotAnEcho) {
  auto meter = CurrentMeter();
  const Bytes table = BuiltInTable(1);
  ASSERT_TRUE(session.StartHosei(table.data(), BuiltInRecords(1)));
  ASSERT_TRUE(session.ReadAck());  // the answer to "HOSEI": 0x55
  // The meter takes every write from now on and never answers: the receive
  // succeeds with no byte, and the 0x55 that the answer to "HOSEI" left in
  // Meterlink's receive buffer must not pass for an echo or an ack.
  usbsim::MeterFaults faults;
  faults.silent_from = meter->ExchangeCount() + 1;
  meter->SetFaults(faults);
  EXPECT_FALSE(session.SendEchoedByte(kAck));
  EXPECT_FALSE(session.ReadAck());
}

// A meter that hangs in the middle of the records (takes every write, never
// answers): the third answer in a row without a byte ends the records with
// -4 ("Signal error"), the trailer is refused, and nothing more is written.
TEST_F(MeterSessionTest, HungMeterEndsTheTransferWithSignalError) {
  auto meter = CurrentMeter();
  const Bytes table = BuiltInTable(1);
  const uint16_t records = BuiltInRecords(1);
  ASSERT_GT(records, 10);
  uint8_t count = 0;
  ASSERT_TRUE(session.StartHosei(table.data(), records));
  ASSERT_TRUE(session.SendHeaderBlock(&count));
  ASSERT_TRUE(session.SendRecord(&count));
  usbsim::MeterFaults faults;
  faults.silent_from = meter->ExchangeCount() + 1;
  meter->SetFaults(faults);
  int trues = 0;
  while (session.SendRecord(&count) && trues < records) ++trues;
  // Records 2 to 4 still go out: the answer to record 1 came, and the empty
  // answers to records 2 and 3 are tolerated; the third empty one stops it.
  EXPECT_EQ(trues, 3);
  EXPECT_EQ(session.m_result, -4);
  EXPECT_EQ(session.GetMessageId(), 602u);
  const int written = meter->ExchangeCount();
  EXPECT_FALSE(session.SendTrailer());
  EXPECT_EQ(meter->ExchangeCount(), written);
  EXPECT_EQ(meter->SlotContent(3), std::nullopt);
}

// A meter pulled out at any exchange of a table transfer: the transfer
// fails, nothing hangs or crashes, and the slot stays unwritten.
TEST_F(MeterSessionTest, UnplugAtEveryExchangeOfATableFailsTheTransfer) {
  const Bytes table = BuiltInTable(1);
  const uint16_t records = BuiltInRecords(1);
  const int exchanges = 1 + 16 + 2 + records + 1;  // HOSEI .. trailer
  for (int k = 1; k <= exchanges; ++k) {
    rig::MeterBench kBench;
    auto meter = kBench.Attach(MeterConfig{});
    CMeterSession fresh;
    int32_t count = 0;
    std::string serial;
    uint8_t slots[7] = {};
    ASSERT_TRUE(fresh.OpenMeters(&count));
    ASSERT_TRUE(fresh.NextMeter(serial));
    ASSERT_TRUE(fresh.QueryTest(slots));
    usbsim::MeterFaults faults;
    faults.unplug_at = meter->ExchangeCount() + k;
    meter->SetFaults(faults);

    const Transfer transfer = SendTable(fresh, table.data(), records);
    const bool completed = transfer.started && transfer.header && transfer.trailer;
    EXPECT_FALSE(completed) << "unplugged at exchange " << k;
    EXPECT_NE(transfer.result, 1) << "unplugged at exchange " << k;
    EXPECT_NE(fresh.GetMessageId(), 0u) << "unplugged at exchange " << k;
    EXPECT_TRUE(meter->Unplugged()) << "unplugged at exchange " << k;
    EXPECT_EQ(meter->SlotContent(3), std::nullopt) << "unplugged at exchange " << k;
    EXPECT_FALSE(meter->SlotFilled(3)) << "unplugged at exchange " << k;
  }
}

// --- Steps out of their order are refused --------------------------------------

TEST_F(MeterSessionTest, TableWithoutRecordsIsRefusedBeforeHosei) {
  auto meter = CurrentMeter();
  const Bytes table = MakeSensorTable(2, 9000, 1);
  EXPECT_FALSE(session.StartHosei(table.data(), 0));
  EXPECT_EQ(session.m_result, -4);
  EXPECT_FALSE(session.StartHosei(nullptr, 5));
  EXPECT_EQ(session.m_result, -4);
  uint8_t count = 0;
  EXPECT_FALSE(session.SendHeaderBlock(&count));
  EXPECT_FALSE(session.SendRecord(&count));
  EXPECT_FALSE(session.SendTrailer());
  EXPECT_TRUE(meter->Transcript().empty());
}

TEST_F(MeterSessionTest, NoRecordAfterTheLastAndNoSecondHeader) {
  auto meter = CurrentMeter();
  const Bytes table = MakeSensorTable(2, 9000, 2);
  uint8_t count = 0;
  ASSERT_TRUE(session.StartHosei(table.data(), 2));
  ASSERT_TRUE(session.SendHeaderBlock(&count));
  EXPECT_FALSE(session.SendHeaderBlock(&count));  // the header is out already
  // A trailer before the records would send record bytes as the check value.
  EXPECT_FALSE(session.SendTrailer());
  ASSERT_TRUE(session.SendRecord(&count));
  ASSERT_FALSE(session.SendRecord(&count));  // the last record
  const size_t writes = rig::HostWrites(meter->Transcript()).size();
  EXPECT_FALSE(session.SendRecord(&count));  // past the table: refused, nothing sent
  EXPECT_EQ(session.m_result, -4);
  EXPECT_EQ(rig::HostWrites(meter->Transcript()).size(), writes);
  EXPECT_TRUE(session.SendTrailer());
  EXPECT_FALSE(session.SendTrailer());  // only once
  EXPECT_EQ(meter->SlotContent(2), std::optional<Bytes>(table));
}

// --- Messages -----------------------------------------------------------------

TEST(MeterSessionMessages, MessageIdPerResult) {
  const struct {
    int32_t result;
    unsigned id;
  } cases[] = {{1, 0},    {0, 0},    {-1, 602}, {-2, 602},    {-3, 601},
               {-4, 602}, {-5, 603}, {-6, 0},   {-7, 602},    {-8, 0},
               {-10, 0},  {2, 0},    {-9, 0},   {INT_MIN, 0}, {INT_MAX, 0}};
  for (const auto& c : cases) {
    CMeterSession session;
    session.m_result = c.result;
    EXPECT_EQ(session.GetMessageId(), c.id) << "result " << c.result;
    EXPECT_EQ(session.IsOk(), c.result == 1);
  }
}

}  // namespace
