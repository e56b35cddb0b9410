// lx40's setup engine and a meter that hangs or is pulled out: that meter
// fails with the wizard's words soon after, nothing more is written to it,
// the other meters go on, no slot is half written, and once the meter is
// back the next setup sets it up.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine_rig.h"
#include "load_protocol.h"
#include "meter_gone_sweep.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using usbsim::AttachedMeter;
using usbsim::MeterConfig;

const std::string kSignalError = "Signal error. Check the USB connection.";
const std::string kNoSuchMeter = mlink_strerror(MLINK_ERR_NO_SUCH_METER);

using meter_gone::kNoLongWait;
using meter_gone::kSweepStride;
using meter_gone::Meter;

const lx40::UnitRecord* RecordOf(const engine_rig::EngineRun& run, const std::string& serial) {
  for (const lx40::UnitRecord& record : run.records) {
    if (record.serial == serial) return &record;
  }
  return nullptr;
}

class EngineMeterGoneTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = NewBus(); }
  void TearDown() override { usbsim::Bus::Instance().Reset(); }

  static usbsim::NodeId NewBus() {
    usbsim::Bus& bus = usbsim::Bus::Instance();
    bus.Reset();
    return bus.AddController(0, 8);
  }
  AttachedMeter Attach(MeterConfig config) {
    return usbsim::AttachMeter(root_, next_port_++, std::move(config));
  }

  // Slots 1 and 3 hold nothing new or exactly their table.
  static void ExpectNoSlotHalfWritten(const usbsim::VirtualMeter& meter, const std::string& where) {
    for (const lx40::SensorTable& table : engine_rig::Tables()) {
      const std::optional<Bytes> slot = meter.SlotContent(table.info.slot);
      EXPECT_TRUE(!slot || *slot == table.bytes) << where << ", slot " << table.info.slot;
    }
  }
  static void ExpectBothTables(const usbsim::VirtualMeter& meter, const std::string& where) {
    for (const lx40::SensorTable& table : engine_rig::Tables()) {
      EXPECT_EQ(meter.SlotContent(table.info.slot), std::optional<Bytes>(table.bytes))
          << where << ", slot " << table.info.slot;
    }
  }

  usbsim::NodeId root_ = 0;
  int next_port_ = 1;
};

// The exchanges one meter takes for a whole setup (listing included).
int FullRunExchanges() {
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  const AttachedMeter probe = usbsim::AttachMeter(bus.AddController(0, 8), 1, Meter("P00000001"));
  const engine_rig::EngineRun run = engine_rig::RunEngine();
  EXPECT_EQ(run.records.size(), 1u);
  return probe.meter->ExchangeCount();
}

TEST_F(EngineMeterGoneTest, HungMeterFailsWithSignalErrorWhileTheOthersGoOn) {
  const int full = FullRunExchanges();
  root_ = NewBus();
  const AttachedMeter a = Attach(Meter("A00000001"));
  MeterConfig hung = Meter("B00000002");
  hung.faults.hang_from = full / 3;  // in the middle of the long table
  hung.read_limit = std::chrono::milliseconds(200);
  const AttachedMeter b = Attach(hung);
  const AttachedMeter c = Attach(Meter("C00000003"));

  const Clock::time_point start = Clock::now();
  const engine_rig::EngineRun run = engine_rig::RunEngine();
  EXPECT_LT(Clock::now() - start, kNoLongWait);

  ASSERT_EQ(run.records.size(), 3u);
  const lx40::UnitRecord* failed = RecordOf(run, "B00000002");
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->result, lx40::UnitResult::kFailed);
  EXPECT_EQ(failed->message, kSignalError);
  EXPECT_EQ(failed->code, MLINK_ERR_NO_ANSWER);
  EXPECT_TRUE(b.meter->Hung());
  // Two more records after the write that hung it, each after one empty
  // answer; the third empty answer ended it, and nothing was written since.
  EXPECT_EQ(b.meter->ExchangeCount() - hung.faults.hang_from, loadproto::kEmptyAnswersForHung - 1);
  ExpectNoSlotHalfWritten(*b.meter, "hung meter");
  EXPECT_FALSE(b.meter->SlotFilled(1));
  for (const AttachedMeter* other : {&a, &c}) {
    const lx40::UnitRecord* record = RecordOf(run, other->meter->Config().serial);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->result, lx40::UnitResult::kSet);
    ExpectBothTables(*other->meter, record->serial);
  }
  EXPECT_EQ(usbsim::Bus::Instance().OpenHandleCount(), 0);
}

// Each answer after a delay within the read limit (20 ms within 40 ms here,
// 1.5 s within 2 s on a slow real meter): the table loads.
TEST_F(EngineMeterGoneTest, SlowMeterWithinTheReadLimitStillLoads) {
  MeterConfig slow = Meter("S00000001");
  slow.slots_filled[engine_rig::Tables()[0].info.slot] = true;  // only the short table
  slow.latency = std::chrono::milliseconds(20);
  slow.read_limit = std::chrono::milliseconds(40);
  const AttachedMeter meter = Attach(slow);
  const engine_rig::EngineRun run = engine_rig::RunEngine();
  ASSERT_EQ(run.records.size(), 1u);
  EXPECT_EQ(run.records[0].result, lx40::UnitResult::kSet) << run.records[0].message;
  const lx40::SensorTable& short_table = engine_rig::Tables()[1];
  EXPECT_EQ(meter.meter->SlotContent(short_table.info.slot),
            std::optional<Bytes>(short_table.bytes));
}

// Pulled out at every exchange of a whole setup: the meter is reported
// failed (or, pulled out while being listed, not found), nothing is tried
// after the failed write, no slot is half written, no handle stays open;
// plugged back in, the next setup sets it up.
TEST_F(EngineMeterGoneTest, UnplugAtEveryExchangeThenReplugAndTheNextSetupSetsItUp) {
  const int full = FullRunExchanges();
  EXPECT_GT(full, 850);
  int failed_units = 0;
  int not_listed = 0;
  for (int k = 1; k <= full; k += kSweepStride) {
    const std::string where = "unplug at " + std::to_string(k);
    root_ = NewBus();
    next_port_ = 1;
    MeterConfig config = Meter("U00000001");
    config.faults.unplug_at = k;
    const AttachedMeter attached = Attach(config);

    const engine_rig::EngineRun run = engine_rig::RunEngine();
    EXPECT_TRUE(attached.meter->Unplugged()) << where;
    EXPECT_EQ(attached.meter->ExchangeCount(), k) << where;
    if (run.records.empty()) {
      ++not_listed;
    } else {
      ASSERT_EQ(run.records.size(), 1u) << where;
      EXPECT_EQ(run.records[0].result, lx40::UnitResult::kFailed) << where;
      // Gone between listing and opening, it is no longer attached; gone
      // later, it is the signal error.
      const std::string& message = run.records[0].message;
      EXPECT_TRUE(message == kSignalError || message == kNoSuchMeter) << where << ": " << message;
      ++failed_units;
    }
    ExpectNoSlotHalfWritten(*attached.meter, where);
    EXPECT_EQ(usbsim::Bus::Instance().OpenHandleCount(), 0) << where;

    const AttachedMeter back = usbsim::ReplugMeter(attached);
    ASSERT_NE(back.device, 0u) << where;
    const engine_rig::EngineRun again = engine_rig::RunEngine();
    ASSERT_EQ(again.records.size(), 1u) << where;
    // Pulled out at the final check, the meter already holds both tables.
    const lx40::UnitResult result = again.records[0].result;
    EXPECT_TRUE(result == lx40::UnitResult::kSet || result == lx40::UnitResult::kAlreadySet)
        << where << ": " << again.records[0].message;
    ExpectBothTables(*back.meter, where);
    EXPECT_EQ(usbsim::Bus::Instance().OpenHandleCount(), 0) << where;
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(failed_units, 0);
  EXPECT_LT(not_listed, 10);  // only the listing's few exchanges
}

}  // namespace
