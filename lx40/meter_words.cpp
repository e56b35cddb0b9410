#include "meter_words.h"

namespace lx40 {

const char* UnitName(int32_t unit) {
  switch (unit) {
    case MLINK_UNIT_DB:
      return "dB";
    case MLINK_UNIT_W:
      return "W";
    case MLINK_UNIT_MW:
      return "mW";
    case MLINK_UNIT_UW:
      return "uW";
    case MLINK_UNIT_NW:
      return "nW";
    default:
      return "?";
  }
}

const char* ModeKeywordName(int32_t keyword) {
  switch (keyword) {
    case MLINK_MODE_REL0:
      return "REL0";
    case MLINK_MODE_REL1:
      return "REL1";
    case MLINK_MODE_ABS:
      return "ABS";
    case MLINK_MODE_HOLD_OFF:
      return "OFF";
    case MLINK_MODE_HOLD_MAX:
      return "MAX";
    case MLINK_MODE_HOLD_MIN:
      return "MIN";
    case MLINK_MODE_HOLD_AVE:
      return "AVE";
    case MLINK_MODE_RANGE_MANUAL:
      return "MANUAL";
    case MLINK_MODE_RANGE_AUTO:
      return "AUTO";
    default:
      return "?";
  }
}

const char* ReadingMark(const Reading& reading) {
  // The marks are exact sentinel values, compared with ==.
  if (reading.value == MLINK_READING_OVER_RANGE) return "over-range";
  if (reading.value == MLINK_READING_UNDER_RANGE) return "under-range";
  if (reading.value == MLINK_READING_OVERLOAD) return "overload";
  return nullptr;
}

nlohmann::ordered_json ReadingJson(const Reading& reading) {
  using Json = nlohmann::ordered_json;
  Json json;
  const char* mark = ReadingMark(reading);
  json["value"] = mark ? Json(nullptr) : Json(reading.value);
  json["unit"] = UnitName(reading.unit);
  json["mark"] = mark ? Json(mark) : Json(nullptr);
  return json;
}

}  // namespace lx40
