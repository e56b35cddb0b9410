#include "station_events.h"

#include "device_text.h"

namespace lx40::station {

const char* EventName(EventKind kind) {
  switch (kind) {
    case EventKind::kArrived:
      return "arrived";
    case EventKind::kStarted:
      return "started";
    case EventKind::kProgress:
      return "progress";
    case EventKind::kDone:
      return "done";
    case EventKind::kRemoved:
      return "removed";
    case EventKind::kIgnored:
      return "ignored";
    case EventKind::kStopped:
      return "stopped";
  }
  return "?";
}

namespace {

nlohmann::ordered_json EventJson(const StationEvent& event) {
  nlohmann::ordered_json json;
  json["event"] = EventName(event.kind);
  json["time"] = event.time;
  json["bay"] = event.bay ? nlohmann::ordered_json(*event.bay) : nlohmann::ordered_json(nullptr);
  json["port"] = event.port;
  json["serial"] =
      event.serial ? nlohmann::ordered_json(*event.serial) : nlohmann::ordered_json(nullptr);
  for (const auto& [key, value] : event.detail.items()) json[key] = value;
  return json;
}

}  // namespace

std::string EventLine(const StationEvent& event) {
  return EventJson(event).dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

std::string EventText(const StationEvent& event) {
  std::string text = event.time + " ";
  if (event.kind != EventKind::kStopped) {
    text += "bay " + devtext::ForDisplay(event.bay.value_or(event.port));
    if (event.bay) text += " (port " + event.port + ")";
    text += ": ";
  }
  text += EventName(event.kind);
  if (event.serial) text += " " + devtext::ForDisplay(*event.serial);
  const nlohmann::ordered_json& d = event.detail;
  switch (event.kind) {
    case EventKind::kProgress:
      text += " " + d.value("table", std::string()) + " " + d.value("state", std::string());
      if (d.value("percent", -1) >= 0) text += " " + std::to_string(d.value("percent", 0)) + "%";
      break;
    case EventKind::kDone:
      text += " " + d.value("result", std::string());
      if (d.contains("record") && d["record"].contains("message")) {
        text += ": " + devtext::ForDisplay(d["record"]["message"].get<std::string>());
      }
      break;
    case EventKind::kIgnored:
      text += ": " + d.value("reason", std::string());
      break;
    case EventKind::kStopped:
      text += ": " + std::to_string(d.value("set", 0)) + " set, " +
              std::to_string(d.value("already_set", 0)) + " already set, " +
              std::to_string(d.value("failed", 0)) + " failed";
      break;
    default:
      break;
  }
  return text;
}

bool ProgressGate::Pass(std::chrono::steady_clock::time_point now) {
  if (last_ && now - *last_ < interval_) return false;
  last_ = now;
  return true;
}

}  // namespace lx40::station
