#include "bus/sim_autoload.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter/meter_config_file.h"
#include "meter/sim_state_file.h"

namespace usbsim {

namespace {

constexpr char kMetersVariable[] = "LX40_SIM_METERS";
#ifdef _WIN32
constexpr char kConfigFileName[] = "lx40sim.ini";
constexpr char kLogFileName[] = "lx40sim.log";
#endif

// Set once the bus's content is decided: by the automatic load, or by a
// program that configures the bus itself.
std::atomic<bool> g_busDecided{false};
std::once_flag g_autoloadOnce;

#ifdef _WIN32
// The folder of the running executable, with its trailing backslash; ""
// when the path does not fit (the files are then looked for in the
// current folder).
std::string ExecutableFolder() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      std::string full(path.data(), length);
      const size_t slash = full.find_last_of("\\/");
      return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

bool IsFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// One short report per start, so whoever runs the simulated wizard can see
// which meters it was given, or why the meter file was refused. A folder
// that cannot be written to only costs the report.
void WriteLog(const std::string& path, const std::string& text) {
  if (FILE* log = std::fopen(path.c_str(), "wb")) {
    std::fputs(text.c_str(), log);
    std::fputs("\r\n", log);
    std::fclose(log);
  }
}

#endif

std::string MeterList(const std::vector<AttachedMeter>& meters) {
  std::string text;
  for (const AttachedMeter& attached : meters) {
    text += text.empty() ? "" : ", ";
    text += attached.meter ? attached.meter->Config().serial : std::string("?");
    // Queued on the line, or refused by the bus.
    if (attached.device == 0) text += " (not plugged now: queued or no free port)";
  }
  return text.empty() ? std::string("no meters") : text;
}

// The meter file named by the environment, else (Windows) lx40sim.ini
// beside the program, else the default meters. A file that cannot be used
// gives a bus without meters: the program then reports that no meter is
// attached, and the report says why.
void AutoloadBus() {
  const char* variable = std::getenv(kMetersVariable);
  std::string configPath = variable != nullptr ? variable : "";
  std::string origin = std::string(kMetersVariable) + "=" + configPath;
#ifdef _WIN32
  const std::string folder = ExecutableFolder();
  const std::string logPath = folder + kLogFileName;
  if (configPath.empty() && IsFile(folder + kConfigFileName)) {
    configPath = folder + kConfigFileName;
    origin = configPath;
  }
#endif
  std::string report;
  bool failed = false;
  std::vector<AttachedMeter> meters;
  try {
    if (!configPath.empty()) {
      const std::string error = LoadMeterConfigFile(configPath, &meters);
      if (error.empty()) {
        report = "lx40sim: meters from " + origin + ": " + MeterList(meters);
      } else {
        Bus::Instance().Reset();
        failed = true;
        report = "lx40sim: " + origin + ": " + error + "; the bus has no meters.";
      }
    } else {
      meters = BuildDefaultTopology();
      report = "lx40sim: default meters: " + MeterList(meters);
    }
  } catch (const std::exception& e) {
    Bus::Instance().Reset();
    meters.clear();
    failed = true;
    report =
        std::string("lx40sim: building the bus failed (") + e.what() + "); the bus has no meters.";
  }
#ifdef _WIN32
  WriteLog(logPath, report);
#endif
  // Elsewhere only a refused file is worth a word: the program's own
  // output stays its own.
  if (failed) std::fprintf(stderr, "%s\n", report.c_str());
  WriteSimStateAtExit(std::move(meters));
}

}  // namespace

void EnsureAutoloaded() {
  std::call_once(g_autoloadOnce, [] {
    if (!g_busDecided.exchange(true)) AutoloadBus();
  });
}

void NoteBusConfiguredByProgram() { g_busDecided.store(true); }

}  // namespace usbsim
