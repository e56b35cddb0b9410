// A new meter that hangs on its first answer ("QPID") while others arrive:
// its probe keeps only its own bay waiting, also when it is pulled out and
// plugged in again meanwhile. The others are listed, set up and recorded
// while it still hangs; the hanging one ends failed once its read gives up,
// with nothing but its "QPID" sent, and plugged in again it is then set.
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
  // Waits until `count` events of `kind` at `port` are in; false after
  // `bound`.
  bool WaitFor(EventKind kind, const std::string& port, int count, std::chrono::seconds bound) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] {
      int seen = 0;
      for (const StationEvent& event : events_) seen += event.kind == kind && event.port == port;
      return seen >= count;
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

// Whether the operator, seeing nothing happen, pulls the hanging meter
// out and plugs it in again while its probe still waits.
class StationHungProbeTest : public ::testing::TestWithParam<bool> {
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

TEST_P(StationHungProbeTest, AMeterHangingOnItsFirstAnswerDelaysNoOtherBay) {
  const bool replugged = GetParam();
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
  usbsim::AttachedMeter hung = usbsim::AttachMeter(hub_, 1, hanging);
  const auto bound = std::chrono::steady_clock::now() + 10s;
  while (hung.meter->ExchangeCount() < 1 && std::chrono::steady_clock::now() < bound) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(hung.meter->ExchangeCount(), 1) << "the station never probed the new meter";
  if (replugged) {
    // Back in as after a power cycle (no hang any more): a new plug at the
    // same port and interface path, while the old probe still waits.
    usbsim::Bus::Instance().Unplug(hung.device);
    hung.meter->PlugBackIn();
    hung = usbsim::ReplugMeter(hung);
    ASSERT_NE(hung.device, 0);
    ASSERT_TRUE(events.WaitFor(EventKind::kArrived, "1-1", 2, 10s)) << Log(events);
  }

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

  // The hung probe ends failed; plugged in again, the meter is then a new
  // unit and is set.
  ASSERT_TRUE(events.WaitFor(EventKind::kDone, "1-1", replugged ? 2 : 1, 60s)) << Log(events);
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
  std::vector<std::string> hung_results;
  for (const StationEvent& event : events.All()) {
    if (event.kind == EventKind::kDone && event.port == "1-1") {
      hung_results.push_back(event.detail["result"]);
    }
  }
  EXPECT_EQ(hung_results, replugged ? (std::vector<std::string>{"failed", "set"})
                                    : std::vector<std::string>{"failed"});
  if (replugged) {
    for (const SensorTable& table : plan.setup.tables) {
      EXPECT_TRUE(hung.meter->SlotContent(table.info.slot).has_value());
    }
  } else {
    EXPECT_EQ(hung.meter->ExchangeCount(), 1);  // its "QPID", nothing after it
  }
  EXPECT_EQ(written.size(), replugged ? 5u : 4u);
}

INSTANTIATE_TEST_SUITE_P(Replug, StationHungProbeTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                           return param.param ? "PluggedInAgainWhileItHangs" : "LeftPlugged";
                         });

}  // namespace
}  // namespace lx40::station
