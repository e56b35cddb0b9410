#include "usbhost/sim/bus/sim_autoload.h"

#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "usbhost/sim/bus/sim_bus.h"
#include "usbhost/sim/meter/meter_attach.h"
#include "usbhost/sim/meter/meter_config_file.h"

namespace usbsim {

namespace {

constexpr char kConfigFileName[] = "lx40sim.ini";
constexpr char kLogFileName[] = "lx40sim.log";

// Set once the bus's content is decided: by the automatic load, or by a
// program that configures the bus itself.
std::atomic<bool> g_busDecided{false};
std::once_flag g_autoloadOnce;

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

std::string MeterList(const std::vector<AttachedMeter>& meters) {
  std::string text;
  for (const AttachedMeter& attached : meters) {
    text += text.empty() ? "" : ", ";
    text += attached.meter ? attached.meter->Config().serial : std::string("?");
    if (attached.device == 0) text += " (not plugged: no free port)";
  }
  return text.empty() ? std::string("no meters") : text;
}

void AutoloadBus() {
  const std::string folder = ExecutableFolder();
  const std::string configPath = folder + kConfigFileName;
  const std::string logPath = folder + kLogFileName;
  std::string report;
  try {
    std::vector<AttachedMeter> meters;
    if (IsFile(configPath)) {
      const std::string error = LoadMeterConfigFile(configPath, &meters);
      if (error.empty()) {
        report = "lx40sim: meters from " + configPath + ": " + MeterList(meters);
      } else {
        // A bad file gives a bus without meters: the wizard then reports
        // the missing connection, and this log says why.
        Bus::Instance().Reset();
        report = "lx40sim: " + error + "\r\nlx40sim: the bus has no meters.";
      }
    } else {
      meters = BuildDefaultTopology();
      report = "lx40sim: no " + configPath + "; default meters: " + MeterList(meters);
    }
  } catch (const std::exception& e) {
    Bus::Instance().Reset();
    report = std::string("lx40sim: building the bus failed (") + e.what() +
             ")\r\nlx40sim: the bus has no meters.";
  }
  WriteLog(logPath, report);
}

}  // namespace

void EnsureAutoloaded() {
  std::call_once(g_autoloadOnce, [] {
    if (!g_busDecided.exchange(true)) AutoloadBus();
  });
}

void NoteBusConfiguredByProgram() { g_busDecided.store(true); }

}  // namespace usbsim

#else  // not _WIN32: the bus starts empty; tests build what they need.

namespace usbsim {

void EnsureAutoloaded() {}
void NoteBusConfiguredByProgram() {}

}  // namespace usbsim

#endif
