// Loading built-in table 8010 (781 records, 801 exchanges) through the handle
// API into 1 meter, and into 8 meters at once (one thread per meter), each
// answer delayed by the simulator. The meters are independent, so the
// 8-meter wall time should stay close to the 1-meter time: the target is
// within 1.2 times.
//
// Run: meterlink_handles_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "built_in_tables.h"
#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meterlink.h"
#include "mlink.h"

namespace {

int32_t LoadWhole(mlink_meter* meter, const uint8_t* table, size_t size) {
  int32_t rc = mlink_load_begin(meter, table, size);
  while (rc == MLINK_OK) rc = mlink_load_step(meter);
  return rc;
}

void BM_LoadTable0(benchmark::State& state) {
  const int meters = static_cast<int>(state.range(0));
  const std::chrono::microseconds latency(state.range(1));

  CloseAllDevice();
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  const usbsim::NodeId root = bus.AddController(0, meters);
  for (int i = 0; i < meters; ++i) {
    usbsim::MeterConfig config;
    config.serial = "B" + std::to_string(100000000 + i);
    config.latency = latency;
    usbsim::AttachMeter(root, i + 1, config);
  }
  const std::span<const uint8_t> table = BuiltInTable(8010);
  if (table.empty()) {
    state.SkipWithError("no built-in table 8010");
    return;
  }
  std::vector<mlink_meter*> handles(meters, nullptr);
  for (int i = 0; i < meters; ++i) {
    const std::string serial = "B" + std::to_string(100000000 + i);
    if (mlink_open(serial.c_str(), &handles[i]) != MLINK_OK) {
      state.SkipWithError("a meter did not open");
      return;
    }
  }

  for (auto _ : state) {
    std::vector<int32_t> results(meters, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < meters; ++i) {
      threads.emplace_back(
          [&, i] { results[i] = LoadWhole(handles[i], table.data(), table.size()); });
    }
    for (std::thread& t : threads) t.join();
    for (const int32_t rc : results) {
      if (rc != MLINK_DONE) state.SkipWithError("a load failed");
    }
  }
  state.counters["tables"] = benchmark::Counter(static_cast<double>(meters * state.iterations()),
                                                benchmark::Counter::kIsRate);
  for (mlink_meter* meter : handles) mlink_close(meter);
  bus.Reset();
}

// Arguments: meters, answer latency in microseconds.
BENCHMARK(BM_LoadTable0)
    ->Args({1, 1000})
    ->Args({8, 1000})
    ->Args({1, 0})
    ->Args({8, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
