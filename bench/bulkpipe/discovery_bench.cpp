// How long CheckUSBDevices takes on the simulated bus as the number of
// attached meters grows, up to 127 meters spread over all 10 controllers.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bulkpipe.h"
#include "bus/sim_bus.h"

namespace {

using usbsim::Bus;

// 10 controllers, each with a 16-port external hub on root port 1; the
// meters go round the controllers, so every tree is walked.
void BuildBus(int meters) {
  Bus& bus = Bus::Instance();
  bus.Reset();
  std::vector<usbsim::NodeId> hubs;
  for (int number = 0; number < 10; ++number) {
    hubs.push_back(bus.AddHub(bus.AddController(number, 2), 1, 16));
  }
  for (int i = 0; i < meters; ++i) {
    usbsim::SimulatedDevice details;
    const std::string serial = "B" + std::to_string(100000000 + i).substr(1);
    details.serial.assign(serial.begin(), serial.end());
    bus.Plug(hubs[i % 10], 1 + i / 10, details);
  }
}

void BM_CheckUSBDevicesWithSerialList(benchmark::State& state) {
  const int meters = static_cast<int>(state.range(0));
  BuildBus(meters);
  std::vector<char> list(10 * 1270 + 1);
  for (auto _ : state) {
    const int32_t count = CheckUSBDevices(list.data());
    if (count != meters) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(list.data());
  }
  state.counters["meters"] = meters;
  if (meters > 0) {
    state.counters["per_meter"] = benchmark::Counter(
        static_cast<double>(meters),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  }
  Bus::Instance().Reset();
}

void BM_CheckUSBDevicesCountOnly(benchmark::State& state) {
  const int meters = static_cast<int>(state.range(0));
  BuildBus(meters);
  for (auto _ : state) {
    const int32_t count = CheckUSBDevices(nullptr);
    if (count != meters) state.SkipWithError("wrong count");
  }
  state.counters["meters"] = meters;
  Bus::Instance().Reset();
}

// From an empty bus to the 127 devices USB can address.
void MeterCounts(benchmark::internal::Benchmark* b) {
  for (int meters : {0, 1, 8, 32, 127}) b->Arg(meters);
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_CheckUSBDevicesWithSerialList)->Apply(MeterCounts);
BENCHMARK(BM_CheckUSBDevicesCountOnly)->Apply(MeterCounts);

}  // namespace

BENCHMARK_MAIN();
