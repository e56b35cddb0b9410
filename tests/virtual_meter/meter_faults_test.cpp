// The ways a meter can be told to misbehave, each seen from the host side.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "meter/virtual_meter.h"
#include "meter_host.h"

namespace {

using meter_test::Ask;
using meter_test::Bytes;
using meter_test::Command;
using meter_test::LoadAnswers;
using meter_test::LoadTable;
using meter_test::MakeTable;
using meter_test::ReadReply;
using meter_test::Text;
using usbsim::MeterConfig;
using usbsim::VirtualMeter;

const Bytes kAck{0x55};
const Bytes kNak{0x15};

VirtualMeter MeterWith(void (*set)(usbsim::MeterFaults&)) {
  MeterConfig config;
  set(config.faults);
  return VirtualMeter(config);
}

TEST(MeterFaults, WrongEchoAtOneHeaderByteOnly) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.wrong_echo_at = 3; });
  const Bytes table = MakeTable(1, 2);
  const LoadAnswers answers = LoadTable(meter, table);
  for (size_t i = 0; i < 16; ++i) {
    if (i == 3) {
      EXPECT_NE(answers.echoes[i], table[i]);
    } else {
      EXPECT_EQ(answers.echoes[i], table[i]) << "byte " << i;
    }
  }
}

TEST(MeterFaults, NakOnTheHeaderEndsTheLoad) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.nak_header = true; });
  const LoadAnswers answers = LoadTable(meter, MakeTable(1, 2));
  EXPECT_EQ(answers.header_ack, kNak);
  EXPECT_FALSE(meter.SlotContent(1).has_value());
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:0000000\r");
}

TEST(MeterFaults, NakOnTheTrailerStoresNothing) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.nak_trailer = true; });
  const LoadAnswers answers = LoadTable(meter, MakeTable(1, 2));
  EXPECT_EQ(answers.header_ack, kAck);
  EXPECT_EQ(answers.trailer_ack, kNak);
  EXPECT_FALSE(meter.SlotContent(1).has_value());
  EXPECT_FALSE(meter.SlotFilled(1));
}

TEST(MeterFaults, SilentFromExchangeKTakesWritesButNeverAnswers) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.silent_from = 2; });
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");
  for (const char* command : {"QPID", "IDN", "HOSEI"}) {
    EXPECT_TRUE(Command(meter, command));
    const meter_test::Reply reply = ReadReply(meter);
    EXPECT_TRUE(reply.ok);
    EXPECT_TRUE(reply.bytes.empty()) << command;
  }
  EXPECT_EQ(meter.ExchangeCount(), 4);
  EXPECT_EQ(meter.Transcript().size(), 2u + 3u);  // QPID and its block, three silent writes
}

// Every read of a hung meter stays pending until the read limit and then
// ends idle, even for an answer that was queued before the hang struck.
TEST(MeterFaults, HangFromExchangeKTakesWritesButNoReadCompletes) {
  MeterConfig config;
  config.faults.hang_from = 3;
  config.read_limit = std::chrono::milliseconds(40);
  VirtualMeter meter(config);
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");
  EXPECT_TRUE(Command(meter, "IDN"));  // exchange 2: answered, left unread
  EXPECT_FALSE(meter.Hung());
  EXPECT_TRUE(Command(meter, "BTRY"));  // exchange 3: the hang strikes
  EXPECT_TRUE(meter.Hung());
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const meter_test::Reply reply = ReadReply(meter, 64, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, config.read_limit);
    EXPECT_TRUE(reply.ok);  // an idle read: success with nothing
    EXPECT_TRUE(reply.bytes.empty());
  }
  const Bytes record{1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(meter_test::Write(meter, record));
  EXPECT_EQ(meter.ExchangeCount(), 4);
  // The writes are all in the transcript; no block went to the host after QPID's.
  EXPECT_EQ(meter.Transcript().size(), 2u + 3u);
}

TEST(MeterFaults, UnplugEndsAPendingReadOfAHungMeterAtOnce) {
  MeterConfig config;
  config.faults.hang_from = 1;
  config.faults.unplug_at = 2;
  config.read_limit = std::chrono::milliseconds(60'000);
  VirtualMeter meter(config);
  EXPECT_TRUE(Command(meter, "QPID"));
  bool read_ok = true;
  std::thread reader([&] {
    uint32_t done = 0;
    uint8_t block[64];
    read_ok = meter.OnHostRead(block, sizeof block, &done);
  });
  // The read is pending (hung); pulling the meter out fails it, long before
  // the minute of the read limit.
  while (meter.Transcript().size() < 1) std::this_thread::yield();
  EXPECT_FALSE(Command(meter, "IDN"));
  reader.join();
  EXPECT_FALSE(read_ok);
}

// A latency longer than the read limit is seen as idle reads until the
// answer is ready, as the host sees a slow meter through the Windows layer;
// one within the limit arrives in the first read.
TEST(MeterFaults, LatencyBeyondTheReadLimitGivesIdleReadsFirst) {
  MeterConfig config;
  config.latency = std::chrono::milliseconds(100);
  config.read_limit = std::chrono::milliseconds(40);
  VirtualMeter meter(config);
  EXPECT_TRUE(Command(meter, "QPID"));
  uint8_t block[64];
  uint32_t done = 0;
  int idle_reads = 0;
  while (idle_reads < 10) {
    ASSERT_TRUE(meter.OnHostRead(block, sizeof block, &done));
    if (done != 0) break;
    ++idle_reads;
  }
  EXPECT_EQ(idle_reads, 2);  // 40 + 40 ms idle, the answer after 20 ms more
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), done), "LX40\r");

  meter.SetReadLimit(std::chrono::milliseconds(500));
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");  // 100 ms, within the limit
}

TEST(MeterFaults, UnplugAtExchangeKFailsThatWriteAndEverythingAfter) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.unplug_at = 3; });
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");
  EXPECT_TRUE(Command(meter, "IDN"));  // answer left unread on purpose
  EXPECT_FALSE(Command(meter, "BTRY"));
  EXPECT_TRUE(meter.Unplugged());
  EXPECT_FALSE(ReadReply(meter).ok);
  EXPECT_FALSE(Command(meter, "QPID"));
  EXPECT_EQ(meter.ExchangeCount(), 3);
}

TEST(MeterFaults, ErrorReplyReplacesTheAnswerOfThatCommandOnly) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) {
    f.error_replies["BTRY"] = "MEM_ERR";
    f.error_replies["GET_MODE"] = "MODE_ERR";
  });
  EXPECT_EQ(Ask(meter, "BTRY"), "MEM_ERR\r");
  EXPECT_EQ(Ask(meter, "GET_MODE"), "MODE_ERR\r");
  EXPECT_EQ(Ask(meter, "QPID"), "LX40\r");
}

TEST(MeterFaults, ErrorReplyToHoseiStartsNoLoad) {
  VirtualMeter meter =
      MeterWith([](usbsim::MeterFaults& f) { f.error_replies["HOSEI"] = "MEM_ERR"; });
  EXPECT_EQ(Ask(meter, "HOSEI"), "MEM_ERR\r");
  EXPECT_FALSE(meter.LoadInProgress());
}

TEST(MeterFaults, NoCrDropsTheFinalCrOfThatCommand) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.no_cr.insert("TEST"); });
  EXPECT_EQ(Ask(meter, "TEST"), "TEST:0000000");
  EXPECT_EQ(Ask(meter, "BTRY"), "BATERY_OK\r");
}

TEST(MeterFaults, LongReplySpansMoreThanOneHostBlock) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.long_reply.insert("IDN"); });
  Command(meter, "IDN");
  const meter_test::Reply reply = ReadReply(meter, 64);
  const std::string text = Text(reply.bytes);
  EXPECT_GT(text.size(), 64u);
  EXPECT_EQ(text.rfind("Vantor,LX40,A12345678,100", 0), 0u);
  EXPECT_EQ(text.back(), '\r');
  EXPECT_EQ(text.find('\r'), text.size() - 1);
  EXPECT_EQ(reply.blocks.size(), 2u);
}

TEST(MeterFaults, SplitReplyComesInBlocksOfAtMostN) {
  VirtualMeter meter = MeterWith([](usbsim::MeterFaults& f) { f.split_reply["IDN"] = 4; });
  Command(meter, "IDN");
  const meter_test::Reply reply = ReadReply(meter, 64);
  EXPECT_EQ(Text(reply.bytes), "Vantor,LX40,A12345678,100\r");
  EXPECT_EQ(reply.blocks.size(), 7u);  // 26 bytes in blocks of 4
  for (const size_t block : reply.blocks) EXPECT_LE(block, 4u);
  EXPECT_EQ(ReadReply(meter, 64).blocks.size(), 0u);
}

TEST(MeterFaults, FaultsAndBatteryCanChangeWhileRunning) {
  VirtualMeter meter(MeterConfig{});
  EXPECT_EQ(Ask(meter, "BTRY"), "BATERY_OK\r");
  meter.SetBatteryLow(true);
  EXPECT_EQ(Ask(meter, "BTRY"), "BATERY_LO\r");
  usbsim::MeterFaults faults;
  faults.no_cr.insert("BTRY");
  meter.SetFaults(faults);
  EXPECT_EQ(Ask(meter, "BTRY"), "BATERY_LO");
}

// The host talks on one thread while a test watches from another; run under
// the thread sanitizer this shows the meter's state is guarded. The latency
// makes the host's reads wait outside the lock.
TEST(MeterThreads, HostAndObserverOnDifferentThreads) {
  MeterConfig config;
  config.latency = std::chrono::microseconds(50);
  VirtualMeter meter(config);
  const Bytes table = MakeTable(2, 20);
  std::atomic<bool> host_done{false};
  LoadAnswers answers;
  std::thread host([&] {
    answers = LoadTable(meter, table);
    host_done = true;
  });
  size_t observations = 0;
  while (!host_done) {
    observations += meter.Transcript().size();
    (void)meter.SlotContent(2);
    (void)meter.ExchangeCount();
    meter.SetBatteryLow(false);
  }
  host.join();
  EXPECT_EQ(answers.trailer_ack, kAck);
  EXPECT_EQ(meter.SlotContent(2), table);
  EXPECT_EQ(meter.ExchangeCount(), 1 + 16 + 2 + 20 + 1);
  (void)observations;
}

}  // namespace
