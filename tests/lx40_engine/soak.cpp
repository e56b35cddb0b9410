// The soak: many setups of eight virtual meters by lx40's engine, each meter
// with faults drawn from a seeded schedule (every fault the simulator has),
// and after every setup the checks that must hold whatever went wrong:
//   - each meter holds nothing new, or exactly the right table in the right
//     slot (a slot filled at power-on is never written);
//   - every record line parses, is about a meter on the bus, and says what
//     that meter now holds (a table "written" exactly when it is stored);
//   - no pipe handle is left open;
//   - no setup hung (a generous guard, scaled under the sanitizers).
// A fresh bus and fresh meters per setup, the same serial numbers each time,
// one process throughout: nothing Bulkpipe or Meterlink keep may go stale.
//
// Usage: lx40_soak [--runs N] [--seconds S] [--seed X]
//   stops after N setups or S seconds, whichever comes first (defaults:
//   1000 setups, no time limit). Prints its figures; exit status 1 when a
//   check failed, and the program aborts when a setup hangs.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine_rig.h"

namespace {

using Clock = std::chrono::steady_clock;
using usbsim::AttachedMeter;
using usbsim::MeterConfig;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kGuardScale = 10;
#else
constexpr int kGuardScale = 1;
#endif
// No setup of eight meters with settle 0 and short read limits comes near.
constexpr std::chrono::seconds kHangGuard{60 * kGuardScale};

constexpr int kMeters = 8;
constexpr int kMetersOnRoot = 4;       // the others behind an external hub
constexpr int kHighestExchange = 950;  // a whole setup of one meter takes about 900

const char* const kFaultNames[] = {
    "battery_low", "wrong_echo",  "nak_header", "nak_trailer", "silent",      "hang",   "unplug",
    "replug",      "error_reply", "no_cr",      "long_reply",  "split_reply", "latency"};
constexpr int kFaultKinds = sizeof kFaultNames / sizeof kFaultNames[0];
const char* const kCommandWords[] = {"QPID", "IDN", "BTRY", "TEST", "HOSEI"};
const char* const kErrorWords[] = {"MEM_ERR", "CMD_ERR", "DATA_ERR", "\x01\xFF\"\\<>"};

struct Figures {
  long runs = 0;
  long units = 0;
  long listing_failed = 0;
  long unidentified = 0;
  std::map<std::string, long> faults;
  std::map<std::string, long> results;
  long violations = 0;
  Clock::duration longest{};
};

template <size_t N>
const char* Pick(std::mt19937_64& rng, const char* const (&words)[N]) {
  return words[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

// One fault of kind `kind` into `config`.
void Inject(int kind, std::mt19937_64& rng, MeterConfig& config) {
  auto exchange = [&rng] { return std::uniform_int_distribution<int>(1, kHighestExchange)(rng); };
  usbsim::MeterFaults& f = config.faults;
  switch (kind) {
    case 0:
      config.battery_low = true;
      break;
    case 1:
      f.wrong_echo_at = std::uniform_int_distribution<int>(0, 15)(rng);
      break;
    case 2:
      f.nak_header = true;
      break;
    case 3:
      f.nak_trailer = true;
      break;
    case 4:
      f.silent_from = exchange();
      break;
    case 5:
      f.hang_from = exchange();
      break;
    case 6:
      f.unplug_at = exchange();
      break;
    case 7:
      f.unplug_at = exchange();
      f.replug_after = std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 20)(rng));
      break;
    case 8:
      f.error_replies[Pick(rng, kCommandWords)] = Pick(rng, kErrorWords);
      break;
    case 9:
      f.no_cr.insert(Pick(rng, kCommandWords));
      break;
    case 10:
      f.long_reply.insert(Pick(rng, kCommandWords));
      break;
    case 11:
      f.split_reply[Pick(rng, kCommandWords)] = std::uniform_int_distribution<uint32_t>(1, 64)(rng);
      break;
    default:
      config.latency = std::chrono::microseconds(std::uniform_int_distribution<int>(1, 3000)(rng));
      break;
  }
}

MeterConfig DrawMeter(int index, std::mt19937_64& rng, Figures& figures) {
  MeterConfig config;
  char serial[16];
  std::snprintf(serial, sizeof serial, "SOAK%05d", index + 1);
  config.serial = serial;
  // Short read limits keep hung reads short; each is still a real wait.
  config.read_limit = std::chrono::milliseconds(std::uniform_int_distribution<int>(2, 20)(rng));
  std::bernoulli_distribution filled(0.15);
  for (bool& slot : config.slots_filled) slot = filled(rng);
  std::bernoulli_distribution faulted(0.6);
  std::bernoulli_distribution second(0.2);
  if (faulted(rng)) {
    for (int n = 0; n < (second(rng) ? 2 : 1); ++n) {
      const int kind = std::uniform_int_distribution<int>(0, kFaultKinds - 1)(rng);
      Inject(kind, rng, config);
      ++figures.faults[kFaultNames[kind]];
    }
  }
  return config;
}

std::vector<AttachedMeter> BuildBus(const std::vector<MeterConfig>& configs) {
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  const usbsim::NodeId root = bus.AddController(0, kMetersOnRoot + 1);
  const usbsim::NodeId hub = bus.AddHub(root, kMetersOnRoot + 1, kMeters - kMetersOnRoot);
  std::vector<AttachedMeter> meters;
  for (int i = 0; i < kMeters; ++i) {
    meters.push_back(i < kMetersOnRoot
                         ? usbsim::AttachMeter(root, i + 1, configs[i])
                         : usbsim::AttachMeter(hub, i - kMetersOnRoot + 1, configs[i]));
  }
  return meters;
}

// Aborts the program when a setup runs past the guard.
class HangGuard {
 public:
  HangGuard() : thread_([this] { Watch(); }) {}
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  void Start(long run) {
    std::lock_guard<std::mutex> lock(mutex_);
    run_ = run;
    started_ = Clock::now();
    active_ = true;
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    active_ = false;
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      changed_.wait_for(lock, std::chrono::seconds(1));
      if (active_ && Clock::now() - started_ > kHangGuard) {
        std::fprintf(stderr, "lx40_soak: setup %ld has not ended after %lld s: hung\n", run_,
                     static_cast<long long>(kHangGuard.count()));
        std::abort();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  bool active_ = false;
  long run_ = 0;
  Clock::time_point started_;
  std::thread thread_;
};

// The checks after one setup; returns the number that failed, each printed.
long CheckSetup(long run, const std::vector<MeterConfig>& configs,
                const std::vector<AttachedMeter>& meters, const engine_rig::EngineRun& result,
                Figures& figures) {
  long failed = 0;
  auto fail = [&](const std::string& serial, const std::string& what) {
    std::fprintf(stderr, "lx40_soak: setup %ld, %s: %s\n", run, serial.c_str(), what.c_str());
    ++failed;
  };
  const auto& tables = engine_rig::Tables();
  std::map<std::string, nlohmann::json> records;
  for (const std::string& line : result.lines) {
    if (line.empty() || line.back() != '\n' || !nlohmann::json::accept(line)) {
      fail("?", "record line does not parse: " + line);
      continue;
    }
    const nlohmann::json record = nlohmann::json::parse(line);
    const std::string serial = record.value("serial", "");
    ++figures.results[record.value("result", "?")];
    if (serial.empty()) {
      // A meter listed without a serial number (its "IDN" failed): it can
      // only be reported failed.
      ++figures.unidentified;
      if (record.value("result", "") != "failed") fail("?", "unidentified but not failed: " + line);
      continue;
    }
    if (records.count(serial) != 0) fail(serial, "two records: " + line);
    records[serial] = record;
  }
  if (result.lines.size() != result.records.size()) fail("?", "records and lines disagree");
  figures.units += static_cast<long>(result.lines.size());

  for (size_t i = 0; i < meters.size(); ++i) {
    const usbsim::VirtualMeter& meter = *meters[i].meter;
    const MeterConfig& config = configs[i];
    const auto found = records.find(config.serial);
    const nlohmann::json* record = found == records.end() ? nullptr : &found->second;
    for (int slot = 0; slot < usbsim::kMeterSlotCount; ++slot) {
      const std::optional<std::vector<uint8_t>> held = meter.SlotContent(slot);
      const lx40::SensorTable* table = nullptr;
      for (const auto& t : tables) table = t.info.slot == slot ? &t : table;
      if (held && (table == nullptr || config.slots_filled[slot] || *held != table->bytes)) {
        fail(config.serial, "slot " + std::to_string(slot) + " holds what it must not");
      }
      if (table == nullptr) continue;
      std::string outcome = "(no record)";
      if (record != nullptr) {
        for (const auto& entry : (*record)["tables"]) {
          if (entry.value("slot", -1) == slot) outcome = entry.value("outcome", "?");
        }
      }
      const bool stored = held.has_value();
      if ((outcome == "written") != stored) {
        fail(config.serial, "slot " + std::to_string(slot) + ": record says " + outcome +
                                (stored ? " but the table is stored" : " but nothing is stored"));
      }
      if (outcome == "present" && !config.slots_filled[slot]) {
        fail(config.serial, "slot " + std::to_string(slot) + " reported present, was empty");
      }
    }
    if (record == nullptr) continue;
    const std::string result_name = record->value("result", "");
    if (result_name == "failed" && record->value("message", "").empty()) {
      fail(config.serial, "failed without a message");
    }
    if (result_name == "set") {
      for (const auto& t : tables) {
        if (!config.slots_filled[t.info.slot] && !meter.SlotContent(t.info.slot)) {
          fail(config.serial, "set, but slot " + std::to_string(t.info.slot) + " is empty");
        }
      }
    }
    const nlohmann::json& after = (*record)["slots_after"];
    if (after.is_string()) {
      const std::string digits = after.get<std::string>();
      for (int slot = 0; slot < usbsim::kMeterSlotCount && slot < static_cast<int>(digits.size());
           ++slot) {
        if ((digits[slot] == '1') != meter.SlotFilled(slot)) {
          fail(config.serial, "slots_after " + digits + " disagrees with the meter");
          break;
        }
      }
    }
  }
  const int open = usbsim::Bus::Instance().OpenHandleCount();
  if (open != 0) fail("-", std::to_string(open) + " handles left open");
  return failed;
}

long Argument(int argc, char** argv, const char* name, long fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == name) return std::strtol(argv[i + 1], nullptr, 10);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const long max_runs = Argument(argc, argv, "--runs", 1000);
  const long max_seconds = Argument(argc, argv, "--seconds", 0);
  const long seed = Argument(argc, argv, "--seed", 1);
  std::mt19937_64 rng(static_cast<uint64_t>(seed));
  Figures figures;
  const Clock::time_point start = Clock::now();
  {
    HangGuard guard;
    while (figures.runs < max_runs &&
           (max_seconds <= 0 || Clock::now() - start < std::chrono::seconds(max_seconds))) {
      std::vector<MeterConfig> configs;
      for (int i = 0; i < kMeters; ++i) configs.push_back(DrawMeter(i, rng, figures));
      const std::vector<AttachedMeter> meters = BuildBus(configs);
      ++figures.runs;
      guard.Start(figures.runs);
      const Clock::time_point began = Clock::now();
      const engine_rig::EngineRun result = engine_rig::RunEngine();
      const Clock::duration took = Clock::now() - began;
      guard.Stop();
      figures.longest = std::max(figures.longest, took);
      if (result.listed != MLINK_OK) ++figures.listing_failed;
      figures.violations += CheckSetup(figures.runs, configs, meters, result, figures);
    }
  }
  usbsim::Bus::Instance().Reset();

  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  long drawn = 0;
  for (const auto& [name, count] : figures.faults) drawn += count;
  std::printf("lx40_soak: seed %ld: %ld setups of %d meters in %.1f s (longest %.2f s)\n", seed,
              figures.runs, kMeters, seconds,
              std::chrono::duration<double>(figures.longest).count());
  std::printf("units recorded %ld (%ld without a serial number), listing failed %ld times\n",
              figures.units, figures.unidentified, figures.listing_failed);
  std::printf("faults drawn %ld:", drawn);
  for (const auto& [name, count] : figures.faults) std::printf(" %s %ld", name.c_str(), count);
  std::printf("\nresults:");
  for (const auto& [name, count] : figures.results) std::printf(" %s %ld", name.c_str(), count);
  std::printf("\nchecks failed: %ld\n", figures.violations);
  return figures.violations == 0 ? 0 : 1;
}
