#include "command_info.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "device_text.h"
#include "exit_status.h"
#include "meter_list.h"
#include "meter_messages.h"
#include "meter_words.h"
#include "unit_record.h"

namespace lx40 {

namespace {

using Json = nlohmann::ordered_json;

// Asks one thing; on failure the field is null and the first failure is
// kept for the error line.
class InfoQuery {
 public:
  explicit InfoQuery(mlink_meter* meter) : meter_(meter) {}

  template <typename Ask>
  Json Field(Ask ask) {
    Json value;
    const int32_t rc = ask(meter_, &value);
    if (rc != MLINK_OK && first_error_ == MLINK_OK) first_error_ = rc;
    return rc == MLINK_OK ? value : Json(nullptr);
  }
  int32_t FirstError() const { return first_error_; }

 private:
  mlink_meter* meter_;
  int32_t first_error_ = MLINK_OK;
};

void PrintText(const Json& json) {
  for (const auto& [key, value] : json.items()) {
    std::string text;
    if (value.is_string()) {
      text = value.get<std::string>();
    } else if (value.is_null()) {
      text = "-";
    } else if (value.is_object()) {
      for (const auto& [part, part_value] : value.items()) {
        if (part_value.is_null()) continue;
        text += (text.empty() ? "" : " ") + part + "=" +
                (part_value.is_string() ? part_value.get<std::string>() : part_value.dump());
      }
    } else {
      text = value.dump();
    }
    // Values are the meter's text: shown escaped.
    std::printf("%-12s %s\n", (key + ":").c_str(), devtext::ForDisplay(text).c_str());
  }
}

}  // namespace

void AddInfoOptions(CLI::App& app, InfoOptions& options) {
  app.add_option("SERIAL", options.serial, "The meter's serial number")->required();
  app.add_option("--port", options.port,
                 "The meter at this USB port (as lx40 list shows it), for a serial number "
                 "that more than one meter answers with");
  app.add_flag("--json", options.json, "One JSON object");
}

int RunInfoCommand(const InfoOptions& options) {
  const std::string& serial = options.serial;
  mlink_meter* meter = nullptr;
  if (const int status = OpenNamedMeter(serial, options.port, &meter); status != 0) return status;
  mlink_meter_info info{};
  mlink_get_info(meter, &info);
  InfoQuery query(meter);
  Json json;
  json["serial"] = info.serial;
  json["maker"] = info.maker;
  json["model"] = info.model;
  json["version"] = info.version;
  json["battery"] = query.Field([](mlink_meter* m, Json* out) {
    int32_t ok = 0;
    const int32_t rc = mlink_battery(m, &ok);
    *out = ok ? "ok" : "low";
    return rc;
  });
  json["slots"] = query.Field([](mlink_meter* m, Json* out) {
    uint8_t slots[MLINK_SLOT_COUNT] = {};
    const int32_t rc = mlink_slots(m, slots, MLINK_SLOT_COUNT);
    *out = SlotDigits(slots, MLINK_SLOT_COUNT);
    return rc;
  });
  json["sensor"] = query.Field([](mlink_meter* m, Json* out) {
    char text[MLINK_SENSOR_TEXT_SIZE] = {};
    const int32_t rc = mlink_get_sensor(m, text, sizeof text);
    *out = text;
    return rc;
  });
  json["wavelength"] = query.Field([](mlink_meter* m, Json* out) {
    WaveEntry entry{};
    const int32_t rc = mlink_get_wavelength(m, &entry);
    (*out)["nm"] = entry.wavelength;
    (*out)["value"] = entry.value;
    return rc;
  });
  json["mode"] = query.Field([](mlink_meter* m, Json* out) {
    ModeSettings mode{};
    const int32_t rc = mlink_get_mode(m, &mode);
    (*out)["relative"] = ModeKeywordName(mode.relativeMode);
    (*out)["hold"] = ModeKeywordName(mode.hold);
    (*out)["range"] = ModeKeywordName(mode.rangeMode);
    (*out)["unit"] = UnitName(mode.unit);
    return rc;
  });
  json["range"] = query.Field([](mlink_meter* m, Json* out) {
    int32_t range = 0;
    const int32_t rc = mlink_get_range(m, &range);
    *out = range;
    return rc;
  });
  json["averaging"] = query.Field([](mlink_meter* m, Json* out) {
    int32_t count = 0;
    const int32_t rc = mlink_get_averaging(m, &count);
    *out = count;
    return rc;
  });
  json["relative"] = query.Field([](mlink_meter* m, Json* out) {
    Reading reading{0.0f, MLINK_UNIT_AUTO};
    const int32_t rc = mlink_get_relative(m, &reading);
    *out = ReadingJson(reading);
    return rc;
  });
  mlink_close(meter);

  if (options.json) {
    std::printf("%s\n", json.dump(-1, ' ', true, Json::error_handler_t::replace).c_str());
  } else {
    PrintText(json);
  }
  if (query.FirstError() != MLINK_OK) {
    std::fprintf(stderr, "%s: %s\n", serial.c_str(), MeterMessage(query.FirstError()).c_str());
    return kExitUnitFailed;
  }
  return kExitOk;
}

}  // namespace lx40
