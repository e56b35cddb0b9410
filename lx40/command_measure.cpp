// lx40 measure: readings with their units and marks, as text, JSON Lines or
// CSV. Ctrl+C ends the series early.
#include "command_measure.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "exit_status.h"
#include "interrupt.h"
#include "meter_list.h"
#include "meter_messages.h"
#include "meter_words.h"
#include "station_clock.h"

namespace lx40 {

namespace {

constexpr std::chrono::milliseconds kWaitSlice{20};

// Waits, but returns early (false) on Ctrl+C.
bool WaitUnlessInterrupted(std::chrono::milliseconds wait) {
  const auto end = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < end) {
    if (InterruptCount() > 0) return false;
    std::this_thread::sleep_for(kWaitSlice);
  }
  return InterruptCount() == 0;
}

}  // namespace

void AddMeasureOptions(CLI::App& app, MeasureOptions& options) {
  app.add_option("SERIAL", options.serial, "The meter's serial number")->required();
  app.add_option("--port", options.port,
                 "The meter at this USB port (as lx40 list shows it), for a serial number "
                 "that more than one meter answers with");
  app.add_option("--count", options.count, "Number of readings (default 1)")
      ->check(CLI::Range(1, 1000000));
  app.add_option("--interval", options.interval_ms, "Milliseconds between readings (default 1000)")
      ->check(CLI::Range(0, 3600000));
  CLI::Option* json = app.add_flag("--json", options.json, "JSON Lines");
  CLI::Option* csv = app.add_flag("--csv", options.csv, "Comma-separated values");
  json->excludes(csv);
}

int RunMeasureCommand(const MeasureOptions& options) {
  const std::string& serial = options.serial;
  mlink_meter* meter = nullptr;
  if (const int status = OpenNamedMeter(serial, options.port, &meter); status != 0) return status;
  InstallInterruptHandler();
  if (options.csv) std::printf("serial,index,time,value,unit,mark\n");
  int status = kExitOk;
  for (int index = 0; index < options.count; ++index) {
    if (index > 0 && !WaitUnlessInterrupted(std::chrono::milliseconds(options.interval_ms))) {
      status = kExitUnitFailed;
      break;
    }
    Reading reading{0.0f, MLINK_UNIT_AUTO};
    const int32_t rc = mlink_measure(meter, &reading);
    const std::string time = UtcTimestamp(std::chrono::system_clock::now());
    if (rc != MLINK_OK) {
      std::fprintf(stderr, "%s: %s\n", serial.c_str(), MeterMessage(rc).c_str());
      status = kExitUnitFailed;
      break;
    }
    nlohmann::ordered_json json;
    json["serial"] = serial;
    json["index"] = index;
    json["time"] = time;
    json.update(ReadingJson(reading));
    const char* mark = ReadingMark(reading);
    if (options.json) {
      std::printf(
          "%s\n",
          json.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else if (options.csv) {
      std::printf("%s,%d,%s,%s,%s,%s\n", serial.c_str(), index, time.c_str(),
                  mark ? "" : json["value"].dump().c_str(), UnitName(reading.unit),
                  mark ? mark : "");
    } else if (mark) {
      std::printf("%s  %s\n", time.c_str(), mark);
    } else {
      std::printf("%s  %s %s\n", time.c_str(), json["value"].dump().c_str(),
                  UnitName(reading.unit));
    }
    std::fflush(stdout);
  }
  mlink_close(meter);
  return status;
}

}  // namespace lx40
