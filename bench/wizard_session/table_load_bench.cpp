// How long one built-in table takes to load through CMeterSession into a
// virtual meter, against the floor the meter's answer latency sets: every
// exchange waits for one answer, so no load can be faster than
// exchanges x latency.
//
// Table 0 (781 records) is 801 exchanges: "HOSEI", 16 header bytes, two
// 0x55 handshakes, 781 records and the trailer.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "bus/sim_bus.h"
#include "compiled_in_resources.h"
#include "meter/meter_attach.h"
#include "meter_session.h"
#include "meterlink.h"
#include "sensor_data.h"

namespace {

void BM_LoadTable0(benchmark::State& state) {
  const std::chrono::microseconds latency(state.range(0));

  CloseAllDevice();
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  usbsim::MeterConfig config;
  config.latency = latency;
  auto meter = usbsim::AttachMeter(bus.AddController(0, 4), 1, config).meter;

  CompiledInResources resources;
  CSensorData tables(resources);
  if (!tables.LoadAll() || !tables.Select(0)) {
    state.SkipWithError("no built-in tables");
    return;
  }
  CMeterSession session;
  int32_t count = 0;
  std::string serial;
  if (!session.OpenMeters(&count) || !session.NextMeter(serial)) {
    state.SkipWithError("no meter");
    return;
  }
  const int64_t exchanges = 1 + 16 + 2 + int64_t{tables.RecordCount()} + 1;

  for (auto _ : state) {
    uint8_t bytes = 0;
    bool loaded =
        session.StartHosei(tables.Table(), tables.RecordCount()) && session.SendHeaderBlock(&bytes);
    if (loaded) {
      while (session.SendRecord(&bytes)) {
      }
      loaded = session.SendTrailer();
    }
    if (!loaded) {
      state.SkipWithError("the table was not loaded");
      break;
    }
  }

  state.counters["exchanges"] = static_cast<double>(exchanges);
  state.counters["floor_ms"] = static_cast<double>(exchanges * latency.count()) / 1000.0;
  state.counters["per_exchange"] = benchmark::Counter(
      static_cast<double>(exchanges),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  CloseAllDevice();
  bus.Reset();
}

// What the virtual meter's waits alone cost: one sleep of the latency per
// exchange, as the meter serves it. The load above cannot beat this either;
// on Linux each short sleep overshoots by the timer slack and the wake-up.
void BM_LatencyWaitsAlone(benchmark::State& state) {
  const std::chrono::microseconds latency(state.range(0));
  constexpr int kExchanges = 801;
  for (auto _ : state) {
    for (int i = 0; i < kExchanges; ++i) std::this_thread::sleep_for(latency);
  }
  state.counters["floor_ms"] = kExchanges * static_cast<double>(latency.count()) / 1000.0;
}

BENCHMARK(BM_LoadTable0)->Arg(0)->Arg(125)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LatencyWaitsAlone)->Arg(125)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
