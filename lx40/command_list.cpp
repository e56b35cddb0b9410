#include "command_list.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "device_text.h"
#include "exit_status.h"
#include "meter_list.h"
#include "meter_messages.h"
#include "unit_record.h"

namespace lx40 {

namespace {

struct MeterState {
  std::optional<bool> battery_ok;
  std::optional<std::string> slots;
  std::string error;  // why the state is not known, "" when it is
};

MeterState AskMeter(const mlink_meter_place& place) {
  MeterState state;
  mlink_meter* meter = nullptr;
  // The very meter listed, whatever its serial number: no other is probed.
  int32_t rc = mlink_open_path(place.path, place.generation, &meter);
  if (rc != MLINK_OK) {
    state.error = MeterMessage(rc);
    return state;
  }
  int32_t ok = 0;
  rc = mlink_battery(meter, &ok);
  if (rc == MLINK_OK) {
    state.battery_ok = ok != 0;
    uint8_t slots[MLINK_SLOT_COUNT] = {};
    rc = mlink_slots(meter, slots, MLINK_SLOT_COUNT);
    if (rc == MLINK_OK) state.slots = SlotDigits(slots, MLINK_SLOT_COUNT);
  }
  if (rc != MLINK_OK) state.error = MeterMessage(rc);
  mlink_close(meter);
  return state;
}

}  // namespace

void AddListOptions(CLI::App& app, ListOptions& options) {
  app.add_flag("--json", options.json, "One JSON object per meter and line");
}

int RunListCommand(const ListOptions& options) {
  std::vector<mlink_meter_place> meters;
  const int32_t rc = ListPlaces(&meters);
  if (rc != MLINK_OK) {
    std::fprintf(stderr, "lx40: the meters cannot be listed: %s\n", MeterMessage(rc).c_str());
    return kExitNoMeter;
  }
  if (meters.empty()) {
    std::fprintf(stderr, "lx40: no meter found\n");
    return kExitNoMeter;
  }
  if (!options.json) {
    std::printf("%-12s %-6s %-7s %-7s %-7s %s\n", "SERIAL", "MODEL", "VERSION", "BATTERY", "SLOTS",
                "PORT");
  }
  for (const std::string& warning : SharedSerialWarnings(meters)) {
    std::fprintf(stderr, "lx40: warning: %s\n", warning.c_str());
  }
  for (const mlink_meter_place& place : meters) {
    const mlink_meter_info& info = place.info;
    const MeterState state = AskMeter(place);
    const char* battery = !state.battery_ok ? nullptr : *state.battery_ok ? "ok" : "low";
    if (options.json) {
      nlohmann::ordered_json json;
      json["serial"] = info.serial;
      json["model"] = info.model;
      json["version"] = info.version;
      json["port"] = place.port;
      json["battery"] = battery ? nlohmann::ordered_json(battery) : nullptr;
      json["slots"] = state.slots ? nlohmann::ordered_json(*state.slots) : nullptr;
      if (!state.error.empty()) json["message"] = state.error;
      std::printf(
          "%s\n",
          json.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace).c_str());
    } else {
      // What the meter sent is shown escaped.
      const std::string serial = devtext::ForDisplay(info.serial);
      std::printf("%-12s %-6s %-7s %-7s %-7s %s\n", serial.c_str(),
                  devtext::ForDisplay(info.model).c_str(),
                  devtext::ForDisplay(info.version).c_str(), battery ? battery : "-",
                  state.slots ? state.slots->c_str() : "-", place.port[0] ? place.port : "-");
      if (!state.error.empty())
        std::fprintf(stderr, "%s: %s\n", serial.c_str(), state.error.c_str());
    }
    std::fflush(stdout);
  }
  return kExitOk;
}

}  // namespace lx40
