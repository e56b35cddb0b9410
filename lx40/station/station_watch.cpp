#include "station_watch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "meter_messages.h"
#include "mlink.h"
#include "string_ids.h"

namespace lx40::station {

namespace {

// At most this many places are looked at in one listing.
constexpr size_t kMaxPlaces = 128;

// A plug the station holds: the meter's handle stays open until it is
// pulled out, and a worker sets it up.
struct Held {
  size_t bay = 0;
  std::string port;
  std::string path;
  uint32_t generation = 0;
  mlink_meter* meter = nullptr;  // written by the worker before `over`
  std::thread worker;
  std::atomic<bool> over{false};
};

// The setup engine's reports for one bay's unit, onto the board.
class BayReport final : public SetupObserver {
 public:
  BayReport(BayBoard& board, const RecordWriter& write) : board_(board), write_(write) {}

  void OnProgress(size_t unit, const std::string& table, int percent, const std::string& state,
                  bool) override {
    board_.Progress(unit, table, percent, state, state == settling_);
  }
  void OnUnitDone(size_t unit, const UnitRecord& done, bool must_replug) override {
    UnitRecord record = done;
    record.bay = board_.LabelOf(unit);
    if (write_) write_(record);
    board_.Done(unit, record, must_replug);
  }

 private:
  BayBoard& board_;
  const RecordWriter& write_;
  const std::string settling_ = EnglishText(lx40_ids::kStepSettling);
};

class Watch {
 public:
  Watch(const StationPlan& plan, BayBoard& board, const RecordWriter& write, const StopAsked& stop)
      : plan_(plan), board_(board), stop_(stop), report_(board, write) {}

  void Run() {
    std::vector<mlink_meter_place> places(kMaxPlaces);
    for (;;) {
      if (stop_() >= 1) board_.StopStarting();
      size_t found = 0;
      if (mlink_list_places(places.data(), places.size(), &found) != MLINK_OK) found = 0;
      found = std::min(found, places.size());
      Look(places.data(), found);
      Reap(places.data(), found);
      if ((stop_() >= 1 || board_.AllUnitsDone()) && board_.Idle()) break;
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, plan_.poll, [this] { return woken_; });
      woken_ = false;
    }
    for (Held& held : held_) Close(held);
    held_.clear();
    board_.Stopped();
  }

 private:
  void Look(const mlink_meter_place* places, size_t count) {
    std::vector<std::string> ports;
    std::vector<uint32_t> generations;
    for (size_t i = 0; i < count; ++i) {
      const mlink_meter_place& place = places[i];
      // A place the system cannot locate has no bay.
      if (place.port[0] == '\0') continue;
      ports.emplace_back(place.port);
      generations.push_back(place.generation);
    }
    board_.Listed(ports, generations);
    for (size_t i = 0; i < count; ++i) {
      const mlink_meter_place& place = places[i];
      if (place.port[0] == '\0') continue;
      size_t bay = 0;
      if (board_.Seen(place.port, place.path, place.generation, &bay) != Arrival::kStart) continue;
      // A new plug at an interface path the station still holds: the old
      // plug is gone, and its handle must go before the new one can open.
      for (auto it = held_.begin(); it != held_.end();) {
        if (it->path == place.path) {
          Close(*it);
          it = held_.erase(it);
        } else {
          ++it;
        }
      }
      Held& held = held_.emplace_back();
      held.bay = bay;
      held.port = place.port;
      held.path = place.path;
      held.generation = place.generation;
      held.worker = std::thread([this, &held] { Work(held); });
    }
  }

  // One unit: the probe of the new place (its first bytes), then setup.
  void Work(Held& held) {
    mlink_meter* meter = nullptr;
    const int32_t opened = mlink_open_path(held.path.c_str(), held.generation, &meter);
    if (opened == MLINK_NOT_A_METER) {
      board_.NotAMeter(held.bay, "not an LX40");
    } else if (opened == MLINK_ERR_NO_SUCH_METER || opened == MLINK_ERR_REPLUGGED ||
               opened == MLINK_ERR_ALREADY_OPEN || opened == MLINK_ERR_IN_USE_ELSEWHERE) {
      // Nothing was sent: looked at again at the next listing.
      board_.OpenLater(held.bay);
    } else if (opened != MLINK_OK) {
      UnitRecord record;
      record.station = plan_.setup.station;
      record.port = held.port;
      record.trace = plan_.setup.trace;
      record.tool = ToolText();
      record.result = UnitResult::kFailed;
      record.code = opened;
      record.message = MeterMessage(opened);
      report_.OnUnitDone(held.bay, record, false);
    } else {
      mlink_meter_info info{};
      mlink_get_info(meter, &info);
      board_.Started(held.bay, info.serial);
      const auto unit_stop = [this] { return stop_() >= 2 ? StopLevel::kNow : StopLevel::kNone; };
      std::function<StopLevel()> stop = unit_stop;
      SetupOpenMeter(plan_.setup, held.bay, meter, info, report_, stop, nullptr);
    }
    held.meter = meter;
    held.over = true;
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    wake_.notify_one();
  }

  // Plugs pulled out whose unit is over: their handles are closed.
  void Reap(const mlink_meter_place* places, size_t count) {
    for (auto it = held_.begin(); it != held_.end();) {
      bool still = false;
      for (size_t i = 0; i < count && !still; ++i) {
        still = held_path(*it, places[i]);
      }
      if (!still && it->over) {
        Close(*it);
        it = held_.erase(it);
      } else {
        ++it;
      }
    }
  }

  static bool held_path(const Held& held, const mlink_meter_place& place) {
    return held.path == place.path && held.generation == place.generation;
  }

  static void Close(Held& held) {
    if (held.worker.joinable()) held.worker.join();
    if (held.meter != nullptr) mlink_close(held.meter);
    held.meter = nullptr;
  }

  const StationPlan& plan_;
  BayBoard& board_;
  const StopAsked& stop_;
  BayReport report_;
  std::list<Held> held_;  // stable addresses: each worker holds its own
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

}  // namespace

void RunStation(const StationPlan& plan, BayBoard& board, const RecordWriter& write,
                const StopAsked& stop) {
  Watch(plan, board, write, stop).Run();
}

}  // namespace lx40::station
