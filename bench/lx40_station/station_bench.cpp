// lx40 station on a simulated line (see CMakeLists.txt). The operator is
// played by the bench: on each unit's outcome its meter is pulled out and
// the next one of the bay plugged in at once. The same line again with the
// station page served and ten browsers' event streams read.
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
#include "page_feed.h"
#include "page_server.h"
#include "station_watch.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
  size_t stream_bytes = 0;  // what the page's event streams read in all
};

// `count` event streams of the page at `port`, read to their end on a
// thread of their own, as browsers do.
class StreamReaders {
 public:
  StreamReaders(uint16_t port, int count) {
    for (int i = 0; i < count; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(port);
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        continue;
      }
      const std::string request = "GET /events HTTP/1.1\r\nHost: bench\r\n\r\n";
      if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) fds_.push_back(fd);
    }
    thread_ = std::thread([this] { Read(); });
  }
  ~StreamReaders() {
    stop_ = true;
    thread_.join();
    for (const int fd : fds_) ::close(fd);
  }
  size_t Connected() const { return fds_.size(); }
  size_t Bytes() const { return bytes_; }

 private:
  void Read() {
    std::vector<pollfd> ready;
    for (const int fd : fds_) ready.push_back({fd, POLLIN, 0});
    char buffer[16384];
    while (!stop_) {
      if (::poll(ready.data(), ready.size(), 100) <= 0) continue;
      for (pollfd& one : ready) {
        if (!(one.revents & (POLLIN | POLLHUP))) continue;
        const ssize_t n = ::recv(one.fd, buffer, sizeof buffer, 0);
        if (n > 0) bytes_ += static_cast<size_t>(n);
        if (n <= 0) one.fd = -1;  // closed: poll skips it from now on
      }
    }
  }

  std::vector<int> fds_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> bytes_{0};
  std::thread thread_;
};

// `per_bay` meters queued at each of `bays` bays; returns when all are done.
// With `page_clients`, the station page is served and that many event
// streams read while the line runs.
LineResult RunLine(int bays, int per_bay, int page_clients = 0) {
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
  lx40::page::PageFeed feed;
  std::unique_ptr<lx40::page::PageServer> server;
  if (page_clients > 0) {
    std::string error;
    server = lx40::page::PageServer::Listen({"127.0.0.1", 0}, feed, &error);
    if (!server) throw std::runtime_error(error);
  }
  BayBoard board(
      named, static_cast<size_t>(bays * per_bay),
      [&](const StationEvent& event, const std::vector<BayRow>&, const StationCounts&) {
        if (server) feed.Publish(event);
        std::lock_guard lock(mutex);
        events.push_back({event.kind, event.port, Clock::now()});
        changed.notify_all();
      },
      [] { return std::string(); });
  std::atomic<int> stop{0};
  std::unique_ptr<StreamReaders> readers;
  if (server) {
    feed.SetBoardReader([&board](std::vector<BayRow>* rows, StationCounts* counts) {
      *rows = board.Rows();
      *counts = board.Counts();
    });
    server->Start();
    readers = std::make_unique<StreamReaders>(server->Port(), page_clients);
    // Every stream connected and answered before the line starts.
    while (readers->Bytes() < readers->Connected() * 200) std::this_thread::yield();
  }

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
  if (server) {
    server->Stop();
    result.stream_bytes = readers->Bytes();
  }
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

// The same line without and with the station page read by ten browsers'
// event streams: the page must not slow the units (aim: within 1.05x).
void BM_StationLineWithPage(benchmark::State& state) {
  LineResult without;
  LineResult with;
  for (auto _ : state) {
    without = RunLine(8, 8);
    with = RunLine(8, 8, 10);
    state.SetIterationTime(with.seconds);
  }
  const double per_min_without = without.done * 60.0 / without.seconds;
  const double per_min_with = with.done * 60.0 / with.seconds;
  state.counters["units_per_min_without_page"] = per_min_without;
  state.counters["units_per_min_with_10_streams"] = per_min_with;
  state.counters["ratio_without_to_with"] = per_min_without / per_min_with;
  state.counters["stream_kib_read"] = static_cast<double>(with.stream_bytes) / 1024.0;
}
BENCHMARK(BM_StationLineWithPage)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

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
