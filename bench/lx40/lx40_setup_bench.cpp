// Wall time of `lx40 setup` of 1 and of 8 simulated meters, every answer
// delayed 1 ms and the settle after each table 300 ms. The meters are set
// up at once, so 8 should take little longer than 1; the ratio is printed
// at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "lx40_process.h"

namespace {

std::map<int, double> g_seconds_per_run;

std::string MeterFile(const std::string& dir, int meters) {
  std::string text;
  for (int i = 1; i <= meters; ++i) {
    text += "[meter]\nserial = M" + std::to_string(i) + "\nlatency_us = 1000\n";
  }
  const std::string path = dir + "/meters.ini";
  lx40test::WriteFile(path, text);
  return path;
}

void BM_Lx40Setup(benchmark::State& state) {
  const int meters = static_cast<int>(state.range(0));
  char pattern[] = "/tmp/lx40-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const std::string dir = pattern;
  const std::map<std::string, std::string> env{{"LX40_SIM_METERS", MeterFile(dir, meters)},
                                               {"LX40_SETTLE_MS", "300"}};
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = lx40test::RunLx40(LX40_PROGRAM, {"setup"}, env, dir + "/run");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (status != 0) {
      state.SkipWithError(("lx40 setup failed: " + lx40test::ReadFile(dir + "/run.err")).c_str());
      break;
    }
    total += took.count();
    state.SetIterationTime(took.count());
  }
  if (state.iterations() > 0) g_seconds_per_run[meters] = total / double(state.iterations());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Lx40Setup)
    ->Arg(1)
    ->Arg(8)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_seconds_per_run.count(1) && g_seconds_per_run.count(8)) {
    std::printf("lx40 setup: 1 meter %.0f ms, 8 meters %.0f ms, ratio %.2f (goal: at most 1.20)\n",
                g_seconds_per_run[1] * 1000, g_seconds_per_run[8] * 1000,
                g_seconds_per_run[8] / g_seconds_per_run[1]);
  }
  return 0;
}
