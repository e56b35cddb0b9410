#include "bay_board.h"

#include <algorithm>
#include <cstddef>

namespace lx40::station {

const char* BayStateName(BayState state) {
  switch (state) {
    case BayState::kReady:
      return "ready";
    case BayState::kWorking:
      return "working";
    case BayState::kSettling:
      return "settling";
    case BayState::kRemove:
      return "remove";
    case BayState::kFailed:
      return "FAILED";
    case BayState::kReplug:
      return "re-plug";
    case BayState::kIgnored:
      return "ignored";
  }
  return "?";
}

BayBoard::BayBoard(std::vector<Bay> bays, size_t max_units, Sink sink, Clock clock)
    : named_(!bays.empty()),
      max_units_(max_units),
      sink_(std::move(sink)),
      clock_(std::move(clock)) {
  for (Bay& bay : bays) {
    BayRow row;
    row.label = std::move(bay.label);
    row.port = std::move(bay.port);
    rows_.push_back(std::move(row));
    gates_.emplace_back(kProgressInterval);
  }
}

size_t BayBoard::RowOf(const std::string& port) {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].port == port) return i;
  }
  if (named_) return rows_.size();
  // A bay named by its port: its row stays where it is (workers know bays
  // by their row); the view sorts.
  BayRow row;
  row.port = port;
  rows_.push_back(std::move(row));
  gates_.emplace_back(kProgressInterval);
  return rows_.size() - 1;
}

void BayBoard::Emit(EventKind kind, const BayRow& row, nlohmann::ordered_json detail,
                    bool throttled) {
  StationEvent event;
  event.throttled = throttled;
  event.kind = kind;
  event.time = clock_();
  event.bay = row.label;
  event.port = row.port;
  if (!row.serial.empty()) event.serial = row.serial;
  if (detail.is_object()) event.detail = std::move(detail);
  sink_(event, rows_, counts_);
}

Arrival BayBoard::Seen(const std::string& port, const std::string& path, uint32_t generation,
                       size_t* bay) {
  std::lock_guard lock(mutex_);
  const size_t index = RowOf(port);
  if (index == rows_.size()) {
    const auto same = [&](const IgnoredPlug& plug) {
      return plug.port == port && plug.generation == generation;
    };
    if (std::none_of(ignored_.begin(), ignored_.end(), same)) {
      std::erase_if(ignored_, [&](const IgnoredPlug& plug) { return plug.port == port; });
      ignored_.push_back(IgnoredPlug{port, generation, 0});
      BayRow row;
      row.port = port;
      row.state = BayState::kIgnored;
      Emit(EventKind::kIgnored, row, {{"reason", "not a bay"}});
    }
    return Arrival::kIgnored;
  }
  *bay = index;
  BayRow& row = rows_[index];
  if (row.present && row.path == path && row.generation == generation) {
    if (!row.waiting || row.busy) return Arrival::kKnown;
    row.waiting = false;
    return Start(row);
  }
  // Plugged in again (or another meter) without the pull being seen: the
  // old plug is gone first.
  if (row.present) Removed(row);
  row.present = true;
  row.path = path;
  row.generation = generation;
  if (!row.busy) {
    row.serial.clear();
    row.reason.clear();
    row.table.clear();
    row.percent = -1;
  }
  if (!row.again) Emit(EventKind::kArrived, row);
  row.again = false;
  // The unit of the plug before is still at work on its meter (its
  // worker must end before the place can be opened again): this plug
  // waits, and the watch goes on with the other bays meanwhile.
  if (row.busy) {
    row.waiting = true;
    return Arrival::kKnown;
  }
  return Start(row);
}

Arrival BayBoard::Start(BayRow& row) {
  row.waiting = false;
  if (stopping_ || (max_units_ != 0 && static_cast<size_t>(counts_.started) >= max_units_)) {
    return Arrival::kHold;
  }
  ++counts_.started;
  row.busy = true;
  row.state = BayState::kWorking;
  row.serial.clear();
  row.reason.clear();
  row.table.clear();
  row.percent = -1;
  return Arrival::kStart;
}

void BayBoard::Removed(BayRow& row) {
  Emit(EventKind::kRemoved, row);
  row.again = false;
  row.waiting = false;
  row.missed = 0;
  row.present = false;
  row.path.clear();
  row.generation = 0;
  if (!row.busy) {
    row.state = BayState::kReady;
    row.serial.clear();
    row.reason.clear();
    row.table.clear();
    row.percent = -1;
  }
}

void BayBoard::Listed(const std::vector<std::string>& ports,
                      const std::vector<uint32_t>& generations) {
  std::lock_guard lock(mutex_);
  const auto listed = [&](const std::string& port, uint32_t generation) {
    for (size_t i = 0; i < ports.size(); ++i) {
      if (ports[i] == port && generations[i] == generation) return true;
    }
    return false;
  };
  // Gone once missing from two listings in a row: a listing taken while
  // another device comes or goes may miss one that stays.
  for (BayRow& row : rows_) {
    if (!row.present) continue;
    row.missed = listed(row.port, row.generation) ? 0 : row.missed + 1;
    if (row.missed >= kMissedListings) Removed(row);
  }
  for (auto& plug : ignored_)
    plug.missed = listed(plug.port, plug.generation) ? 0 : plug.missed + 1;
  std::erase_if(ignored_, [](const IgnoredPlug& plug) { return plug.missed >= kMissedListings; });
}

void BayBoard::Started(size_t bay, const std::string& serial) {
  std::lock_guard lock(mutex_);
  BayRow& row = rows_[bay];
  row.serial = serial;
  Emit(EventKind::kStarted, row);
}

void BayBoard::Progress(size_t bay, const std::string& table, int percent, const std::string& state,
                        bool settling) {
  std::lock_guard lock(mutex_);
  BayRow& row = rows_[bay];
  if (!row.busy) return;
  const BayState shown = settling ? BayState::kSettling : BayState::kWorking;
  row.state = shown;
  row.table = table;
  row.percent = percent;
  Emit(EventKind::kProgress, row, {{"table", table}, {"percent", percent}, {"state", state}},
       !gates_[bay].Pass(std::chrono::steady_clock::now()));
}

void BayBoard::Done(size_t bay, const UnitRecord& record, bool must_replug) {
  std::lock_guard lock(mutex_);
  BayRow& row = rows_[bay];
  row.busy = false;
  row.table.clear();
  row.percent = -1;
  if (!record.serial.empty()) row.serial = record.serial;
  switch (record.result) {
    case UnitResult::kSet:
      ++counts_.set;
      row.state = BayState::kRemove;
      break;
    case UnitResult::kAlreadySet:
      ++counts_.already_set;
      row.state = BayState::kRemove;
      break;
    case UnitResult::kFailed:
    case UnitResult::kCancelled:
      ++counts_.failed;
      row.state = must_replug ? BayState::kReplug : BayState::kFailed;
      row.reason = record.message;
      break;
  }
  if (must_replug) replug_.push_back(record.serial);
  Emit(EventKind::kDone, row,
       {{"result", ResultName(record.result)}, {"record", RecordJson(record)}});
  // Pulled out while it was worked on: the bay is free now (or holds the
  // plug that waited for this unit).
  if (!row.present || row.waiting) {
    row.state = BayState::kReady;
    row.serial.clear();
    row.reason.clear();
  }
}

void BayBoard::NotAMeter(size_t bay, const std::string& reason) {
  std::lock_guard lock(mutex_);
  BayRow& row = rows_[bay];
  row.busy = false;
  --counts_.started;
  row.state = row.present && !row.waiting ? BayState::kIgnored : BayState::kReady;
  row.reason = reason;
  Emit(EventKind::kIgnored, row, {{"reason", reason}});
}

void BayBoard::OpenLater(size_t bay) {
  std::lock_guard lock(mutex_);
  BayRow& row = rows_[bay];
  row.busy = false;
  --counts_.started;
  row.present = false;
  row.again = true;
  row.state = BayState::kReady;
}

void BayBoard::StopStarting() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
}

bool BayBoard::Idle() const {
  std::lock_guard lock(mutex_);
  return std::none_of(rows_.begin(), rows_.end(), [](const BayRow& row) { return row.busy; });
}

bool BayBoard::AllUnitsDone() const {
  std::lock_guard lock(mutex_);
  if (max_units_ == 0 || static_cast<size_t>(counts_.started) < max_units_) return false;
  return std::none_of(rows_.begin(), rows_.end(), [](const BayRow& row) { return row.busy; });
}

std::vector<BayRow> BayBoard::Rows() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

std::optional<std::string> BayBoard::LabelOf(size_t bay) const {
  std::lock_guard lock(mutex_);
  return rows_[bay].label;
}

StationCounts BayBoard::Counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

std::vector<std::string> BayBoard::Replug() const {
  std::lock_guard lock(mutex_);
  return replug_;
}

void BayBoard::Stopped() {
  std::lock_guard lock(mutex_);
  StationEvent event;
  event.kind = EventKind::kStopped;
  event.time = clock_();
  event.detail = {{"set", counts_.set},
                  {"already_set", counts_.already_set},
                  {"failed", counts_.failed},
                  {"started", counts_.started}};
  sink_(event, rows_, counts_);
}

}  // namespace lx40::station
