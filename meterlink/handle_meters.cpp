// The handle API's meters: listing the attached LX40s (with or without
// where they are plugged), opening one by its serial number, its interface
// path or its port, closing it, and its identification and place.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "error_detail.h"
#include "meter_handle.h"
#include "meter_registry.h"
#include "mlink.h"

using namespace meterlink;

namespace {

// Walks of mlink_list_places, at most, while devices come and go under it.
constexpr int kListAttempts = 4;

enum class Look {
  kMeter,         // an LX40: free (opened holds it) or open here (flag MLINK_INFO_IN_USE)
  kNeedsReplug,   // left mid-table here: info is what was last read from it
  kNotListed,     // no meter, in use elsewhere, or not reachable
  kLockFailed,    // its lock file could not be opened: opened.lock.failure() says why
  kNoPermission,  // its device file may not be opened: opened.denied_node
};

// Looks at one position for a walk: fills `info` and tells what is there.
// A free LX40's open pipes and lock stay in `opened`, for the caller to
// keep; they are given back when `opened` goes. No byte is sent to a meter
// that is open here, open elsewhere or left mid-table.
Look LookAt(int32_t position, mlink_meter_info& info, OpenedPosition& opened) {
  switch (OpenPosition(position, opened, &info)) {
    case PositionState::kOpenHere:
      info.position = position;
      info.flags |= MLINK_INFO_IN_USE;
      return Look::kMeter;
    case PositionState::kNeedsReplug:
      return Look::kNeedsReplug;
    case PositionState::kLockFailed:
      return Look::kLockFailed;
    case PositionState::kNoPermission:
      return Look::kNoPermission;
    case PositionState::kProbingHere:  // not known yet: not a meter of this listing
    case PositionState::kOpenElsewhere:
    case PositionState::kFailed:
      return Look::kNotListed;
    case PositionState::kOpened:
      break;
  }
  Meter probe(opened.pipes.get());
  bool isMeter = false;
  const int32_t result = ProbeMeter(probe, &isMeter, &info);
  info.position = position;
  if (result == MLINK_OK && isMeter) return Look::kMeter;
  opened.GiveBack();
  return Look::kNotListed;
}

mlink_meter_place PlaceOf(const OpenedPosition& opened, const mlink_meter_info& info) {
  mlink_meter_place place{};
  std::memcpy(place.path, opened.path.c_str(), std::min(opened.path.size(), sizeof place.path - 1));
  std::memcpy(place.port, opened.port.c_str(), std::min(opened.port.size(), sizeof place.port - 1));
  place.generation = opened.generation;
  place.info = info;
  place.flags = info.flags;
  return place;
}

int32_t LockFailure(const OpenedPosition& opened) {
  return Fail(MLINK_ERR_LOCK_FAILED, "meter lock " + opened.lock.failure());
}

int32_t NoPermission(const OpenedPosition& opened) {
  return Fail(MLINK_ERR_NO_PERMISSION,
              "no permission for " + opened.denied_node + ": install the udev rules");
}

// Keeps the meter `opened` as a new handle in *meter.
int32_t KeepOpen(OpenedPosition& opened, const mlink_meter_info& info, mlink_meter** meter) {
  std::shared_ptr<MeterHandle> handle(new (std::nothrow) MeterHandle(std::move(opened.pipes)));
  if (handle == nullptr) return MLINK_ERR_NO_MEMORY;
  handle->path = opened.path;
  handle->info = info;
  handle->place = PlaceOf(opened, info);
  RegisterMeter(opened.path, Holder::kHandle, info, std::move(opened.lock));
  handle->registered = true;
  *meter = AddHandle(std::move(handle));
  return MLINK_OK;
}

// The walk of both listings: calls `list(place)` for each meter, in
// position order. MLINK_ERR_NO_PERMISSION when a meter's device file may not
// be opened, MLINK_ERR_LOCK_FAILED when a meter's lock file could not
// be opened (the others are still listed), else MLINK_OK.
template <typename List>
int32_t Walk(List list) {
  const std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  int32_t result = MLINK_OK;
  for (int32_t p = 0; p < count; ++p) {
    mlink_meter_info info{};
    OpenedPosition opened;  // given back at the end of each turn: nothing is left open
    switch (LookAt(p, info, opened)) {
      case Look::kMeter:
        list(PlaceOf(opened, info), false);
        break;
      case Look::kNeedsReplug:
        list(PlaceOf(opened, info), true);
        break;
      case Look::kLockFailed:
        result = LockFailure(opened);
        break;
      case Look::kNoPermission:
        result = NoPermission(opened);
        break;
      case Look::kNotListed:
        break;
    }
  }
  return result;
}

// The mark of a path being probed outside the walk lock, taken off when
// it goes unless the meter was kept (RegisterMeter takes it off then).
class ProbeMark {
 public:
  explicit ProbeMark(const std::string& path) : path_(path) { MarkProbing(path_); }
  ~ProbeMark() {
    if (!kept_) UnmarkProbing(path_);
  }
  ProbeMark(const ProbeMark&) = delete;
  ProbeMark& operator=(const ProbeMark&) = delete;
  void Kept() { kept_ = true; }

 private:
  const std::string path_;
  bool kept_ = false;
};

// Opens the interface at `position` as mlink_open_path describes. Called
// with `walk` held; the probe runs after it is let go, so a meter slow to
// answer delays no other listing or open.
int32_t OpenPositionAsHandle(std::unique_lock<std::mutex>& walk, int32_t position,
                             uint32_t generation, mlink_meter** meter) {
  mlink_meter_info info{};
  OpenedPosition opened;
  const PositionState state = OpenPosition(position, opened, &info);
  if (generation != 0 && opened.generation != generation && state != PositionState::kFailed) {
    return Fail(MLINK_ERR_REPLUGGED, "port " + opened.port + ": plugged in again since listed");
  }
  switch (state) {
    case PositionState::kOpened:
      break;
    case PositionState::kOpenHere:
    case PositionState::kProbingHere:
      return MLINK_ERR_ALREADY_OPEN;
    case PositionState::kOpenElsewhere:
      return Fail(MLINK_ERR_IN_USE_ELSEWHERE,
                  "port " + opened.port + ": in use by another program");
    case PositionState::kNeedsReplug:
      return Fail(MLINK_ERR_NEEDS_REPLUG,
                  "port " + opened.port + ": left in the middle of a table; plug it in again");
    case PositionState::kLockFailed:
      return LockFailure(opened);
    case PositionState::kNoPermission:
      return NoPermission(opened);
    case PositionState::kFailed:
      return MLINK_ERR_NO_SUCH_METER;
  }
  // The pipes and the lock are this call's now; the mark keeps every other
  // walk off the place while the meter is asked.
  ProbeMark mark(opened.path);
  walk.unlock();
  Meter probe(opened.pipes.get());
  bool isMeter = false;
  const int32_t probed = ProbeMeter(probe, &isMeter, &info);
  if (probed != MLINK_OK) return probed;
  if (!isMeter) return MLINK_NOT_A_METER;
  info.position = position;
  const int32_t kept = KeepOpen(opened, info, meter);
  if (kept == MLINK_OK) mark.Kept();
  return kept;
}

}  // namespace

extern "C" MLINK_API int32_t MLINK_CALL mlink_enumerate(mlink_meter_info* infos, size_t capacity,
                                                        size_t* found) {
  if (found == nullptr || (infos == nullptr && capacity != 0)) return MLINK_BAD_ARGUMENT;
  *found = 0;
  size_t listed = 0;
  const int32_t result = Walk([&](const mlink_meter_place& place, bool needsReplug) {
    if (needsReplug) return;  // this listing has always left such meters out
    if (listed < capacity) infos[listed] = place.info;
    ++listed;
  });
  *found = listed;
  return result;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_enumerate_places(mlink_meter_place* places,
                                                               size_t capacity, size_t* found) {
  if (found == nullptr || (places == nullptr && capacity != 0)) return MLINK_BAD_ARGUMENT;
  *found = 0;
  size_t listed = 0;
  const int32_t result = Walk([&](mlink_meter_place place, bool needsReplug) {
    if (needsReplug) place.flags |= MLINK_INFO_NEEDS_REPLUG;
    if (listed < capacity) places[listed] = place;
    ++listed;
  });
  const size_t written = listed < capacity ? listed : capacity;
  for (size_t i = 0; i < written; ++i) {
    for (size_t j = i + 1; j < written; ++j) {
      if (places[i].info.serial[0] == '\0' ||
          std::strcmp(places[i].info.serial, places[j].info.serial) != 0) {
        continue;
      }
      places[i].flags |= MLINK_INFO_SERIAL_SHARED;
      places[j].flags |= MLINK_INFO_SERIAL_SHARED;
    }
  }
  *found = listed;
  return result;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_list_places(mlink_meter_place* places,
                                                          size_t capacity, size_t* found) {
  if (found == nullptr || (places == nullptr && capacity != 0)) return MLINK_BAD_ARGUMENT;
  *found = 0;
  const std::unique_lock<std::mutex> walk = LockWalk();
  // A device plugged in or pulled out during the walk shifts the positions
  // under it: such a walk is done again, so that no place present all along
  // is left out.
  size_t listed = 0;
  for (int attempt = 0; attempt < kListAttempts; ++attempt) {
    const int32_t count = CountPositions();
    listed = 0;
    bool steady = true;
    for (int32_t p = 0; p < count; ++p) {
      mlink_meter_place place{};
      std::string path;
      if (!PathAt(p, path)) {
        steady = false;
        continue;
      }
      std::string port;
      uint32_t generation = 0;
      LocationOf(path, port, generation);
      std::memcpy(place.path, path.c_str(), std::min(path.size(), sizeof place.path - 1));
      std::memcpy(place.port, port.c_str(), std::min(port.size(), sizeof place.port - 1));
      place.generation = generation;
      if (FindRegistered(path, &place.info)) {
        place.info.position = p;
        place.flags = place.info.flags | MLINK_INFO_IN_USE;
      } else if (IsLeftMidTable(path, generation, &place.info)) {
        place.flags = place.info.flags | MLINK_INFO_NEEDS_REPLUG;
      } else if (IsProbing(path)) {
        place.flags = MLINK_INFO_IN_USE;  // being opened here: not known yet
      }
      place.info.flags = place.flags;
      if (listed < capacity) places[listed] = place;
      ++listed;
    }
    if (steady && CountPositions() == count) break;
  }
  *found = listed;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_open(const char* serial, mlink_meter** meter) {
  if (meter == nullptr) return MLINK_BAD_ARGUMENT;
  *meter = nullptr;
  if (serial == nullptr || serial[0] == '\0') return MLINK_BAD_ARGUMENT;
  // A serial number that would not fit the field cannot be any meter's
  // whole serial as read: nothing is looked at.
  if (strnlen(serial, MLINK_SERIAL_SIZE) >= MLINK_SERIAL_SIZE) return MLINK_ERR_NO_SUCH_METER;

  const std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  int32_t notLookedAt = MLINK_OK;
  for (int32_t p = 0; p < count; ++p) {
    mlink_meter_info info{};
    OpenedPosition opened;  // given back at the end of the turn unless kept
    const Look look = LookAt(p, info, opened);
    if (look == Look::kLockFailed) notLookedAt = LockFailure(opened);
    if (look == Look::kNoPermission) notLookedAt = NoPermission(opened);
    if (look != Look::kMeter) continue;
    const bool match =
        (info.flags & MLINK_INFO_SERIAL_CUT) == 0 && std::strcmp(info.serial, serial) == 0;
    if (!match) continue;
    if ((info.flags & MLINK_INFO_IN_USE) != 0) return MLINK_ERR_ALREADY_OPEN;
    return KeepOpen(opened, info, meter);
  }
  // A meter that could not be looked at for its lock may be the one: that,
  // not "no such meter", is the answer then.
  return notLookedAt != MLINK_OK ? notLookedAt : MLINK_ERR_NO_SUCH_METER;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_open_path(const char* path, uint32_t generation,
                                                        mlink_meter** meter) {
  if (meter == nullptr) return MLINK_BAD_ARGUMENT;
  *meter = nullptr;
  if (path == nullptr || path[0] == '\0') return MLINK_BAD_ARGUMENT;
  if (strnlen(path, MLINK_PATH_SIZE) >= MLINK_PATH_SIZE) return MLINK_ERR_NO_SUCH_METER;

  std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  for (int32_t p = 0; p < count; ++p) {
    std::string at;
    if (PathAt(p, at) && at == path) return OpenPositionAsHandle(walk, p, generation, meter);
  }
  return MLINK_ERR_NO_SUCH_METER;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_open_port(const char* port, mlink_meter** meter) {
  if (meter == nullptr) return MLINK_BAD_ARGUMENT;
  *meter = nullptr;
  if (port == nullptr || port[0] == '\0') return MLINK_BAD_ARGUMENT;
  if (strnlen(port, MLINK_PORT_SIZE) >= MLINK_PORT_SIZE) return MLINK_ERR_NO_SUCH_METER;

  std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  for (int32_t p = 0; p < count; ++p) {
    std::string path;
    std::string at;
    uint32_t generation = 0;
    if (PathAt(p, path) && LocationOf(path, at, generation) && at == port) {
      return OpenPositionAsHandle(walk, p, 0, meter);
    }
  }
  return MLINK_ERR_NO_SUCH_METER;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_close(mlink_meter* meter) {
  // Out of the table: no new call finds it. The pipes, the lock and the
  // registration go with the last reference, when a call still running on
  // the meter in another thread has returned (meter_handle.h).
  std::shared_ptr<MeterHandle> handle = RemoveHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_info(mlink_meter* meter, mlink_meter_info* info) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (info == nullptr) return MLINK_BAD_ARGUMENT;
  *info = handle->info;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_place(mlink_meter* meter,
                                                        mlink_meter_place* place) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (place == nullptr) return MLINK_BAD_ARGUMENT;
  *place = handle->place;
  return MLINK_OK;
}
