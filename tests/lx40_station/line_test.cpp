// A simulated line through the station: meters queued at eight bays,
// plugged in one after another as an operator does, each pulled out once
// its bay shows the outcome; with a low battery, a meter that hangs
// mid-table, one pulled out mid-table that comes back and is then set, one
// already set, and one in a port that is not a bay. Every unit must end
// with exactly one final record at the right bay and port, no table may be
// written twice, and each simulated meter must hold what its record says.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
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

enum class Fault { kNone, kBatteryLow, kHang, kPullOut, kAlreadySet };

struct Unit {
  std::string serial;
  int port;
  Fault fault;
  const char* result;  // the final record's
};

constexpr int kBays = 8;
// Meters queued at each bay: 24 units natively, a shorter line under Wine.
#ifdef _WIN32
constexpr int kRounds = 2;
#else
constexpr int kRounds = 3;
#endif
constexpr int kOffBayPort = 9;

// Every event the station gave, and a driver that plays the operator.
class Line {
 public:
  Line(usbsim::NodeId hub, std::vector<Unit> units, const std::vector<SensorTable>& tables)
      : hub_(hub), tables_(tables) {
    for (Unit& unit : units) queues_[unit.port].push_back(std::move(unit));
  }

  void OnEvent(const StationEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }

  // Plugs the first meter of every queue, and the one off the bays.
  void Start() {
    for (auto& [port, queue] : queues_) PlugNext(port);
    usbsim::MeterConfig off;
    off.serial = "OFFBAY001";
    off_bay_ = usbsim::AttachMeter(hub_, kOffBayPort, off);
  }

  // The operator: on each outcome the meter is pulled and the next one of
  // the bay's queue plugged in; a meter pulled out by its fault is plugged
  // back. Returns once every unit's final record is in (or the bound).
  bool Drive(std::chrono::seconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    size_t seen = 0;
    std::unique_lock lock(mutex_);
    while (finals_ < total_) {
      if (!changed_.wait_until(lock, deadline, [&] { return events_.size() > seen; })) {
        return false;
      }
      while (seen < events_.size()) {
        const StationEvent event = events_[seen++];
        lock.unlock();
        Handle(event);
        lock.lock();
      }
    }
    return true;
  }

  std::vector<StationEvent> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  const std::vector<usbsim::AttachedMeter>& Plugged() const { return plugged_; }
  const std::vector<Unit>& PluggedUnits() const { return plugged_units_; }
  const usbsim::AttachedMeter& OffBay() const { return off_bay_; }

  size_t total_ = 0;

 private:
  static std::string Port(int port) { return "1-" + std::to_string(port); }

  void PlugNext(int port) {
    std::deque<Unit>& queue = queues_[port];
    if (queue.empty()) return;
    const Unit unit = queue.front();
    queue.pop_front();
    usbsim::MeterConfig config;
    config.serial = unit.serial;
    config.read_limit = 30ms;
    switch (unit.fault) {
      case Fault::kBatteryLow:
        config.battery_low = true;
        break;
      case Fault::kHang:
        config.faults.hang_from = 12;
        break;
      case Fault::kPullOut:
        config.faults.unplug_at = 12;
        break;
      case Fault::kAlreadySet:
        for (const SensorTable& table : tables_) config.slots_filled[table.info.slot] = true;
        break;
      case Fault::kNone:
        break;
    }
    const usbsim::AttachedMeter attached = usbsim::AttachMeter(hub_, port, config);
    ASSERT_NE(attached.device, 0) << unit.serial;
    current_[port] = plugged_.size();
    plugged_.push_back(attached);
    plugged_units_.push_back(unit);
  }

  void Handle(const StationEvent& event) {
    if (event.port.rfind("1-", 0) != 0) return;
    const int port = std::stoi(event.port.substr(2));
    if (port > kBays || current_.count(port) == 0) return;
    const size_t at = current_[port];
    const Unit& unit = plugged_units_[at];
    usbsim::AttachedMeter& meter = plugged_[at];
    if (event.kind == EventKind::kRemoved && unit.fault == Fault::kPullOut &&
        !came_back_[unit.serial] && !usbsim::Bus::Instance().IsPlugged(meter.device)) {
      // Pulled out mid-table by its fault: the operator plugs it back.
      came_back_[unit.serial] = true;
      meter.meter->PlugBackIn();
      meter = usbsim::ReplugMeter(meter);
      ASSERT_NE(meter.device, 0);
      return;
    }
    if (event.kind != EventKind::kDone) return;
    if (unit.fault == Fault::kPullOut && !came_back_[unit.serial]) return;  // it comes back
    {
      std::lock_guard lock(mutex_);
      ++finals_;
    }
    usbsim::Bus::Instance().Unplug(meter.device);
    PlugNext(port);
  }

  usbsim::NodeId hub_;
  const std::vector<SensorTable>& tables_;
  std::map<int, std::deque<Unit>> queues_;
  std::map<int, size_t> current_;
  std::map<std::string, bool> came_back_;
  std::vector<usbsim::AttachedMeter> plugged_;
  std::vector<Unit> plugged_units_;
  usbsim::AttachedMeter off_bay_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<StationEvent> events_;
  size_t finals_ = 0;
};

class StationLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
    hub_ = usbsim::Bus::Instance().AddController(0, 10);
  }
  void TearDown() override {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
  }
  usbsim::NodeId hub_ = 0;
};

TEST_F(StationLineTest, EveryUnitOfTheLineEndsWithOneFinalRecordAtItsBay) {
  std::vector<Unit> units;
  for (int round = 0; round < kRounds; ++round) {
    for (int port = 1; port <= kBays; ++port) {
      Unit unit{"U" + std::to_string(round) + std::to_string(port) + "0000", port, Fault::kNone,
                "set"};
      if (round == 0 && port == 2) unit = {unit.serial, port, Fault::kBatteryLow, "failed"};
      if (round == 1 && port == 3) unit = {unit.serial, port, Fault::kHang, "failed"};
      if (round == 0 && port == 4) unit = {unit.serial, port, Fault::kPullOut, "set"};
      if (round == 1 && port == 5) unit = {unit.serial, port, Fault::kAlreadySet, "already-set"};
      units.push_back(unit);
    }
  }
  StationPlan plan;
  ASSERT_TRUE(GatherTables({}, &plan.setup.tables));
  plan.setup.settle = 10ms;
  plan.setup.station = "line";
  plan.poll = 20ms;
  std::vector<Bay> bays;
  for (int port = 1; port <= kBays; ++port) {
    bays.push_back({"B" + std::to_string(port), "1-" + std::to_string(port)});
  }

  Line line(hub_, units, plan.setup.tables);
  line.total_ = units.size();
  BayBoard board(
      bays, 0,
      [&line](const StationEvent& event, const std::vector<BayRow>&, const StationCounts&) {
        line.OnEvent(event);
      },
      [] { return std::string("t"); });
  std::atomic<int> stop{0};
  std::mutex records_mutex;
  std::vector<UnitRecord> written;
  std::thread station([&] {
    RunStation(
        plan, board,
        [&](const UnitRecord& record) {
          std::lock_guard lock(records_mutex);
          written.push_back(record);
        },
        [&] { return stop.load(); });
  });
  line.Start();
  const bool all = line.Drive(std::chrono::seconds(120));
  stop = all ? 1 : 2;
  station.join();
  if (!all) {
    std::string log;
    for (const StationEvent& event : line.Events()) {
      if (event.kind != EventKind::kProgress) log += EventText(event) + "\n";
    }
    FAIL() << "not every unit reached its outcome in time:\n" << log;
  }

  // The last "done" of each serial is its final record; the one before it
  // (the pull-out) failed.
  std::map<std::string, std::vector<StationEvent>> dones;
  std::map<std::string, std::map<int, int>> written_per_slot;
  for (const StationEvent& event : line.Events()) {
    EXPECT_FALSE(event.port.empty() && event.kind != EventKind::kStopped);
    if (event.kind == EventKind::kStarted) {
      EXPECT_TRUE(event.serial);
    }
    if (event.kind != EventKind::kDone) continue;
    const auto& record = event.detail["record"];
    const std::string serial = record["serial"];
    dones[serial].push_back(event);
    for (const auto& table : record["tables"]) {
      if (table["outcome"] == "written") ++written_per_slot[serial][table["slot"].get<int>()];
    }
  }
  ASSERT_EQ(dones.size(), units.size());
  for (const Unit& unit : units) {
    SCOPED_TRACE(unit.serial);
    const std::vector<StationEvent>& mine = dones[unit.serial];
    std::string outcomes;
    for (const StationEvent& done : mine) outcomes += EventText(done) + "; ";
    SCOPED_TRACE(outcomes);
    ASSERT_EQ(mine.size(), unit.fault == Fault::kPullOut ? 2u : 1u);
    const StationEvent& final_done = mine.back();
    EXPECT_EQ(final_done.port, "1-" + std::to_string(unit.port));
    EXPECT_EQ(final_done.bay, "B" + std::to_string(unit.port));
    EXPECT_EQ(final_done.detail["result"], unit.result);
    if (unit.fault == Fault::kPullOut) {
      EXPECT_EQ(mine.front().detail["result"], "failed");
    }
    for (const auto& [slot, times] : written_per_slot[unit.serial]) {
      EXPECT_EQ(times, 1) << "slot " << slot << " written twice";
    }
  }
  // Every unit's record went to the writer, the pull-out's twice.
  EXPECT_EQ(written.size(), units.size() + 1);

  // The meters hold what their records say.
  for (size_t i = 0; i < line.Plugged().size(); ++i) {
    const Unit& unit = line.PluggedUnits()[i];
    const usbsim::VirtualMeter& meter = *line.Plugged()[i].meter;
    SCOPED_TRACE(unit.serial);
    for (const SensorTable& table : plan.setup.tables) {
      const int slot = table.info.slot;
      switch (unit.fault) {
        case Fault::kNone:
        case Fault::kPullOut:
          ASSERT_TRUE(meter.SlotContent(slot).has_value());
          EXPECT_EQ(*meter.SlotContent(slot), table.bytes);
          break;
        case Fault::kAlreadySet:
          EXPECT_TRUE(meter.SlotFilled(slot));
          EXPECT_FALSE(meter.SlotContent(slot).has_value());
          break;
        case Fault::kBatteryLow:
        case Fault::kHang:
          EXPECT_FALSE(meter.SlotContent(slot).has_value());
          break;
      }
    }
  }
  // The meter in the port that is not a bay was never sent a byte.
  EXPECT_EQ(line.OffBay().meter->ExchangeCount(), 0);
  int ignored = 0;
  for (const StationEvent& event : line.Events()) {
    ignored += event.kind == EventKind::kIgnored && event.port == "1-9";
  }
  EXPECT_EQ(ignored, 1);
  int set = 0, already = 0, failed = 0;
  for (const Unit& unit : units) {
    set += std::string(unit.result) == "set";
    already += std::string(unit.result) == "already-set";
    failed += std::string(unit.result) == "failed" || unit.fault == Fault::kPullOut;
  }
  const StationCounts counts = board.Counts();
  EXPECT_EQ(counts.set, set);
  EXPECT_EQ(counts.already_set, already);
  EXPECT_EQ(counts.failed, failed);  // the pull-out's first try failed too
  EXPECT_EQ(line.Events().back().kind, EventKind::kStopped);
}

}  // namespace
}  // namespace lx40::station
