#include "page_feed.h"

#include <nlohmann/json.hpp>
#include <thread>

#include "mlink.h"

namespace lx40::page {

namespace {

using Json = nlohmann::ordered_json;

Json Optional(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', true, Json::error_handler_t::replace);
}

Json BayJson(const station::BayRow& row) {
  Json bay;
  bay["bay"] = Optional(row.label);
  bay["port"] = row.port;
  bay["state"] = station::BayStateName(row.state);
  bay["serial"] = row.serial.empty() ? Json(nullptr) : Json(row.serial);
  bay["table"] = row.table;
  bay["percent"] = row.percent;
  bay["reason"] = row.reason;
  bay["present"] = row.present;
  bay["busy"] = row.busy;
  return bay;
}

}  // namespace

void PageFeed::SetIdentity(std::string station, Traceability trace) {
  station_ = std::move(station);
  trace_ = std::move(trace);
}

void PageFeed::SetBoardReader(BoardReader reader) { reader_ = std::move(reader); }

void PageFeed::SetNotify(std::function<void()> notify) { notify_ = std::move(notify); }

void PageFeed::Publish(const station::StationEvent& event) {
  // A progress the board held back is not in the event stream either.
  if (event.throttled) return;
  std::string line = station::EventLine(event);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  std::string unit;
  if (event.kind == station::EventKind::kDone) {
    const nlohmann::ordered_json& record = event.detail.value("record", Json::object());
    Json row;
    row["time"] = event.time;
    row["bay"] = Optional(event.bay);
    row["port"] = event.port;
    row["serial"] = Optional(event.serial);
    row["result"] = event.detail.value("result", std::string());
    row["message"] = record.value("message", std::string());
    unit = Dump(row);
  }
  {
    std::lock_guard lock(mutex_);
    const uint64_t id = ++last_id_;
    auto message = std::make_shared<const std::string>("id: " + std::to_string(id) +
                                                       "\ndata: " + line + "\n\n");
    events_.push_back(NumberedEvent{id, std::move(line), std::move(message)});
    if (events_.size() > kKeptEvents) events_.pop_front();
    if (!unit.empty()) {
      units_.push_back(Unit{id, std::move(unit)});
      if (units_.size() > kLastUnits) units_.pop_front();
    }
  }
  if (notify_) notify_();
}

uint64_t PageFeed::LastId() const {
  std::lock_guard lock(mutex_);
  return last_id_;
}

std::vector<NumberedEvent> PageFeed::EventsAfter(uint64_t after, uint64_t until,
                                                 size_t most) const {
  std::lock_guard lock(mutex_);
  std::vector<NumberedEvent> found;
  // Numbers are consecutive: the first wanted one is found by its place.
  if (events_.empty()) return found;
  const uint64_t oldest = events_.front().id;
  for (size_t i = after + 1 > oldest ? static_cast<size_t>(after + 1 - oldest) : 0;
       i < events_.size() && events_[i].id <= until && found.size() < most; ++i) {
    found.push_back(events_[i]);
  }
  return found;
}

uint64_t PageFeed::OldestId() const {
  std::lock_guard lock(mutex_);
  return events_.empty() ? last_id_ + 1 : events_.front().id;
}

std::string PageFeed::StateJson() const {
  // The board numbers its events under its own lock, so bays read with no
  // event numbered before or after them are exactly the state after the
  // last number. Events come a few a second per bay and the read takes
  // microseconds: a second try is rare, a tenth unheard of (then the
  // tries are spaced out, for a line far busier than any station).
  std::vector<station::BayRow> rows;
  station::StationCounts counts;
  uint64_t id = LastId();
  std::vector<std::string> units;
  for (int attempt = 0;; ++attempt) {
    rows.clear();
    if (reader_) reader_(&rows, &counts);
    {
      std::lock_guard lock(mutex_);
      if (last_id_ == id || attempt == 1000) {
        id = last_id_;
        for (const Unit& unit : units_) units.push_back(unit.json);
        break;
      }
      id = last_id_;
    }
    if (attempt > 10) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  Json state;
  state["id"] = id;
  state["station"] = station_;
  state["operator"] = Optional(trace_.operator_name);
  state["work_order"] = Optional(trace_.work_order);
  state["lot"] = Optional(trace_.lot);
  state["elapsed_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start_)
                            .count();
  // A failed unit with this code must be plugged in again ("re-plug").
  state["replug_code"] = static_cast<int>(MLINK_ERR_LOAD_ABANDONED);
  state["counts"] = {{"set", counts.set},
                     {"already_set", counts.already_set},
                     {"failed", counts.failed},
                     {"started", counts.started}};
  Json bays = Json::array();
  for (const station::BayRow& row : rows) bays.push_back(BayJson(row));
  state["bays"] = std::move(bays);
  Json last = Json::array();
  for (const std::string& unit : units) last.push_back(Json::parse(unit));
  state["units"] = std::move(last);
  return Dump(state);
}

}  // namespace lx40::page
