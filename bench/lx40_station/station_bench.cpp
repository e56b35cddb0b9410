// lx40 station on a simulated line (see CMakeLists.txt). The operator is
// played by the bench: on each unit's outcome its meter is pulled out and
// the next one of the bay plugged in at once.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
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

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using lx40::station::BayBoard;
using lx40::station::BayRow;
using lx40::station::EventKind;
using lx40::station::StationCounts;
using lx40::station::StationEvent;

struct Timed {
  EventKind kind;
  std::string port;
  Clock::time_point at;
};

struct LineResult {
  double seconds = 0;
  double arrival_ms_max = 0;  // plug to "started" (the probe's bytes are sent before it)
  double removal_ms_max = 0;  // pull to "removed"
  int done = 0;
};

// `per_bay` meters queued at each of `bays` bays; returns when all are done.
LineResult RunLine(int bays, int per_bay) {
  CloseAllDevice();
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  const usbsim::NodeId hub = bus.AddController(0, bays);
  lx40::station::StationPlan plan;
  lx40::GatherTables({}, &plan.setup.tables);
  plan.setup.settle = 300ms;

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Timed> events;
  std::vector<lx40::station::Bay> named;
  for (int port = 1; port <= bays; ++port) {
    named.push_back({"B" + std::to_string(port), "1-" + std::to_string(port)});
  }
  BayBoard board(
      named, static_cast<size_t>(bays * per_bay),
      [&](const StationEvent& event, const std::vector<BayRow>&, const StationCounts&) {
        std::lock_guard lock(mutex);
        events.push_back({event.kind, event.port, Clock::now()});
        changed.notify_all();
      },
      [] { return std::string(); });
  std::atomic<int> stop{0};

  std::map<std::string, usbsim::AttachedMeter> current;
  std::map<std::string, int> left;
  std::map<std::string, Clock::time_point> plugged_at, pulled_at;
  LineResult result;
  auto plug = [&](int port) {
    const std::string name = "1-" + std::to_string(port);
    usbsim::MeterConfig config;
    config.serial = "S" + std::to_string(port) + "-" + std::to_string(left[name]);
    config.latency = 1ms;
    plugged_at[name] = Clock::now();
    current[name] = usbsim::AttachMeter(hub, port, config);
    --left[name];
  };
  const auto start = Clock::now();
  for (int port = 1; port <= bays; ++port) {
    left["1-" + std::to_string(port)] = per_bay;
    plug(port);
  }
  std::thread station(
      [&] { lx40::station::RunStation(plan, board, {}, [&] { return stop.load(); }); });
  size_t seen = 0;
  std::unique_lock lock(mutex);
  while (result.done < bays * per_bay) {
    if (!changed.wait_for(lock, 120s, [&] { return events.size() > seen; })) break;
    while (seen < events.size()) {
      const Timed event = events[seen++];
      const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
      };
      if (event.kind == EventKind::kStarted) {
        result.arrival_ms_max =
            std::max(result.arrival_ms_max, ms(event.at - plugged_at[event.port]));
      } else if (event.kind == EventKind::kRemoved && pulled_at.count(event.port)) {
        result.removal_ms_max =
            std::max(result.removal_ms_max, ms(event.at - pulled_at[event.port]));
        pulled_at.erase(event.port);
      } else if (event.kind == EventKind::kDone) {
        ++result.done;
        lock.unlock();
        pulled_at[event.port] = Clock::now();
        bus.Unplug(current[event.port].device);
        if (left[event.port] > 0) plug(std::stoi(event.port.substr(2)));
        lock.lock();
      }
    }
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  lock.unlock();
  stop = 1;
  station.join();
  CloseAllDevice();
  bus.Reset();
  return result;
}

void BM_StationLine(benchmark::State& state) {
  const LineResult alone = RunLine(1, 1);
  LineResult line;
  for (auto _ : state) {
    line = RunLine(8, 8);
    state.SetIterationTime(line.seconds);
  }
  const double limit = 8 * 60.0 / alone.seconds;
  state.counters["units"] = line.done;
  state.counters["unit_alone_s"] = alone.seconds;
  state.counters["units_per_min"] = line.done * 60.0 / line.seconds;
  state.counters["limit_per_min"] = limit;
  state.counters["arrival_to_start_ms_max"] = line.arrival_ms_max;
  state.counters["removal_to_free_ms_max"] = line.removal_ms_max;
}
BENCHMARK(BM_StationLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// Eight empty bays watched for a few seconds: the CPU this process spent.
void BM_StationIdle(benchmark::State& state) {
  double percent = 0;
  for (auto _ : state) {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
    usbsim::Bus::Instance().AddController(0, 8);
    lx40::station::StationPlan plan;
    lx40::GatherTables({}, &plan.setup.tables);
    BayBoard board(
        {}, 0, [](const StationEvent&, const std::vector<BayRow>&, const StationCounts&) {},
        [] { return std::string(); });
    std::atomic<int> stop{0};
    const std::clock_t cpu0 = std::clock();
    const auto wall0 = Clock::now();
    std::thread station(
        [&] { lx40::station::RunStation(plan, board, {}, [&] { return stop.load(); }); });
    std::this_thread::sleep_for(5s);
    stop = 1;
    station.join();
    const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    percent = 100.0 * cpu / wall;
    state.SetIterationTime(wall);
  }
  state.counters["idle_cpu_percent_of_a_core"] = percent;
}
BENCHMARK(BM_StationIdle)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
