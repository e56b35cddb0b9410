// A new meter that hangs on its first answer ("QPID") while others arrive:
// its probe keeps only its own bay waiting. The others are listed, set up
// and recorded while it still hangs, and the hanging one ends failed once
// its read gives up, with nothing but its "QPID" sent.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bay_board.h"
#include "bus/sim_bus.h"
#include "command_setup.h"
#include "meter/meter_attach.h"
#include "meterlink.h"
#include "station_watch.h"

namespace lx40::station {
namespace {

using namespace std::chrono_literals;

// Every event of the station, waited on by the test.
class Events {
 public:
  void Add(const StationEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  // Waits until `done` events for every port of `ports` are in; false
  // after `bound`.
  bool WaitForDone(const std::vector<std::string>& ports, std::chrono::seconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
      for (const std::string& port : ports) {
        if (IndexOfLocked(EventKind::kDone, port) < 0) return false;
      }
      return true;
    });
  }
  // The position of the first such event, -1 when none.
  int IndexOf(EventKind kind, const std::string& port) {
    std::lock_guard lock(mutex_);
    return IndexOfLocked(kind, port);
  }
  std::vector<StationEvent> All() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  int IndexOfLocked(EventKind kind, const std::string& port) const {
    for (size_t i = 0; i < events_.size(); ++i) {
      if (events_[i].kind == kind && events_[i].port == port) return static_cast<int>(i);
    }
    return -1;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<StationEvent> events_;
};

std::string Log(Events& events) {
  std::string log;
  for (const StationEvent& event : events.All()) {
    if (event.kind != EventKind::kProgress) log += EventText(event) + "\n";
  }
  return log;
}

class StationHungProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
    hub_ = usbsim::Bus::Instance().AddController(0, 8);
  }
  void TearDown() override {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
  }
  usbsim::NodeId hub_ = 0;
};

TEST_F(StationHungProbeTest, AMeterHangingOnItsFirstAnswerDelaysNoOtherBay) {
  StationPlan plan;
  ASSERT_TRUE(GatherTables({}, &plan.setup.tables));
  plan.setup.settle = 10ms;
  plan.setup.station = "line";
  plan.poll = 20ms;
  Events events;
  BayBoard board(
      {}, 0,
      [&events](const StationEvent& event, const std::vector<BayRow>&, const StationCounts&) {
        events.Add(event);
      },
      [start = std::chrono::steady_clock::now()] {
        // Milliseconds since the start: the log of a failure shows when.
        return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count()) +
               " ms";
      });
  std::atomic<int> stop{0};
  std::vector<UnitRecord> written;
  std::mutex written_mutex;
  std::thread station([&] {
    RunStation(
        plan, board,
        [&](const UnitRecord& record) {
          std::lock_guard lock(written_mutex);
          written.push_back(record);
        },
        [&] { return stop.load(); });
  });

  // The hanging meter first: its probe is under way before the others come.
  usbsim::MeterConfig hanging;
  hanging.serial = "HANG00000";
  hanging.faults.hang_from = 1;
  // Far beyond what the other units need: they must be over while it hangs.
  hanging.read_limit = 20s;
  const usbsim::AttachedMeter hung = usbsim::AttachMeter(hub_, 1, hanging);
  const auto bound = std::chrono::steady_clock::now() + 10s;
  while (hung.meter->ExchangeCount() < 1 && std::chrono::steady_clock::now() < bound) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(hung.meter->ExchangeCount(), 1) << "the station never probed the new meter";

  std::vector<usbsim::AttachedMeter> others;
  for (int port = 2; port <= 4; ++port) {
    usbsim::MeterConfig config;
    config.serial = "GOOD0000" + std::to_string(port);
    others.push_back(usbsim::AttachMeter(hub_, port, config));
  }
  const bool others_done = events.WaitForDone({"1-2", "1-3", "1-4"}, 15s);
  // The hanging meter's probe is still waiting for its answer.
  const bool hung_still_waiting = events.IndexOf(EventKind::kDone, "1-1") < 0;
  EXPECT_TRUE(others_done) << "the other bays waited for the hanging probe:\n" << Log(events);
  EXPECT_TRUE(hung_still_waiting) << "the hanging probe ended before the others were set:\n"
                                  << Log(events);

  ASSERT_TRUE(events.WaitForDone({"1-1"}, 60s));
  stop = 1;
  station.join();

  for (const usbsim::AttachedMeter& meter : others) {
    const std::string port = "1-" + std::to_string(meter.port);
    SCOPED_TRACE(port);
    const int done = events.IndexOf(EventKind::kDone, port);
    ASSERT_GE(done, 0);
    EXPECT_EQ(events.All()[done].detail["result"], "set");
    EXPECT_LT(done, events.IndexOf(EventKind::kDone, "1-1"));
    for (const SensorTable& table : plan.setup.tables) {
      EXPECT_TRUE(meter.meter->SlotContent(table.info.slot).has_value());
    }
  }
  const StationEvent hung_done = events.All()[events.IndexOf(EventKind::kDone, "1-1")];
  EXPECT_EQ(hung_done.detail["result"], "failed");
  EXPECT_EQ(hung.meter->ExchangeCount(), 1);  // its "QPID", nothing after it
  EXPECT_EQ(written.size(), 4u);
}

}  // namespace
}  // namespace lx40::station
