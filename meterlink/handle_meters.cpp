// The handle API's meters: listing the attached LX40s, opening one by its
// serial number, closing it, and its identification.
#include <cstring>

#include "meter_handle.h"
#include "meter_registry.h"
#include "mlink.h"

using namespace meterlink;

namespace {

// Looks at one position for a walk: fills `info` and returns true when an
// LX40 is there that is open in this program (flag MLINK_INFO_IN_USE,
// nothing sent) or free (then `opened` holds its open pipes and lock, for
// the caller to keep; they are given back when `opened` goes).
bool LookAt(int32_t position, mlink_meter_info& info, OpenedPosition& opened) {
  switch (OpenPosition(position, opened, &info)) {
    case PositionState::kOpenHere:
      info.position = position;
      info.flags |= MLINK_INFO_IN_USE;
      return true;
    case PositionState::kOpenElsewhere:
    case PositionState::kFailed:
      return false;
    case PositionState::kOpened:
      break;
  }
  Meter probe(opened.pipes.get());
  bool isMeter = false;
  const int32_t result = ProbeMeter(probe, &isMeter, &info);
  info.position = position;
  if (result == MLINK_OK && isMeter) return true;
  opened.GiveBack();
  return false;
}

}  // namespace

extern "C" MLINK_API int32_t MLINK_CALL mlink_enumerate(mlink_meter_info* infos, size_t capacity,
                                                        size_t* found) {
  if (found == nullptr || (infos == nullptr && capacity != 0)) return MLINK_BAD_ARGUMENT;
  *found = 0;
  const std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  size_t listed = 0;
  for (int32_t p = 0; p < count; ++p) {
    mlink_meter_info info{};
    OpenedPosition opened;  // given back at the end of each turn: nothing is left open
    if (!LookAt(p, info, opened)) continue;
    if (listed < capacity) infos[listed] = info;
    ++listed;
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
  for (int32_t p = 0; p < count; ++p) {
    mlink_meter_info info{};
    OpenedPosition opened;  // given back at the end of the turn unless kept
    if (!LookAt(p, info, opened)) continue;
    const bool match =
        (info.flags & MLINK_INFO_SERIAL_CUT) == 0 && std::strcmp(info.serial, serial) == 0;
    if (!match) continue;
    if ((info.flags & MLINK_INFO_IN_USE) != 0) return MLINK_ERR_ALREADY_OPEN;

    std::shared_ptr<MeterHandle> handle(new (std::nothrow) MeterHandle(std::move(opened.pipes)));
    if (handle == nullptr) return MLINK_ERR_NO_MEMORY;
    handle->path = opened.path;
    handle->info = info;
    RegisterMeter(opened.path, Holder::kHandle, info, std::move(opened.lock));
    *meter = AddHandle(std::move(handle));
    return MLINK_OK;
  }
  return MLINK_ERR_NO_SUCH_METER;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_close(mlink_meter* meter) {
  std::shared_ptr<MeterHandle> handle = RemoveHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  // A load in progress is abandoned: the host simply stops. The pipes are
  // closed before the lock is given back.
  handle->pipes.Close();
  handle->link.set_pipes(PipePair{});
  UnregisterMeter(handle->path);
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_info(mlink_meter* meter, mlink_meter_info* info) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (info == nullptr) return MLINK_BAD_ARGUMENT;
  *info = handle->info;
  return MLINK_OK;
}
