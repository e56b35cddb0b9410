// The handle API's table load, step by step over the shared load protocol.
// Steps: "HOSEI"; the header with its echoes and handshakes; one per
// record; the trailer and its acknowledgement (records + 3 in all).
#include <new>

#include "meter_handle.h"
#include "meter_registry.h"
#include "mlink.h"
#include "table_check.h"

using namespace meterlink;
using loadproto::Status;

namespace {

constexpr uint32_t kStepsBesideRecords = 3;

int32_t ResultOf(Status status) {
  switch (status) {
    case Status::kOk:
    case Status::kRecordsDone:
      return MLINK_OK;
    case Status::kDone:
      return MLINK_DONE;
    case Status::kSendFailed:
      return MLINK_TRANSPORT_FAILED;
    case Status::kWrongEcho:
    case Status::kRefused:
      return MLINK_ERR_HANDSHAKE;
    case Status::kNoAnswer:
      return MLINK_ERR_NO_ANSWER;
    case Status::kOutOfOrder:
      return MLINK_ERR_LOAD_STATE;
  }
  return MLINK_ERR_LOAD_STATE;
}

Status NextStep(MeterHandle& handle) {
  loadproto::TableSender& sender = handle.sender;
  if (handle.stepsDone == 0) return sender.SendHosei();
  if (handle.stepsDone == 1) return sender.SendHeader();
  if (sender.records_sent() < sender.records()) return sender.SendRecord();
  return sender.SendTrailer();
}

}  // namespace

extern "C" MLINK_API int32_t MLINK_CALL mlink_load_begin(mlink_meter* meter, const void* table,
                                                         size_t size) {
  const auto check = [&]() -> int32_t { return table == nullptr ? MLINK_BAD_ARGUMENT : MLINK_OK; };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    const auto* bytes = static_cast<const uint8_t*>(table);
    mlink_table_info info{};
    const int32_t checked = CheckTable(bytes, size, &info);
    if (checked != MLINK_OK) return checked;
    try {
      handle.table.assign(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
      return MLINK_ERR_NO_MEMORY;
    }
    if (!handle.sender.Arm(handle.table.data(), info.records)) return MLINK_ERR_TABLE_RECORDS;
    handle.phase = LoadPhase::kRunning;
    handle.stepsDone = 0;
    handle.stepsTotal = info.records + kStepsBesideRecords;
    return MLINK_OK;
  });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_load_step(mlink_meter* meter) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (handle->phase != LoadPhase::kRunning) return MLINK_ERR_LOAD_STATE;

  const bool onTrailer = handle->stepsDone + 1 == handle->stepsTotal;
  const Status status = NextStep(*handle);
  const int32_t result = ResultOf(status);
  if (result == MLINK_OK || result == MLINK_DONE) ++handle->stepsDone;
  if (result == MLINK_OK) return result;

  // The load is over. The meter takes commands again when it stored the
  // table, refused the trailer, or never got "HOSEI"; otherwise it is left
  // in the middle of the table.
  const bool meterDone =
      result == MLINK_DONE || (onTrailer && status == Status::kRefused) || handle->stepsDone == 0;
  handle->phase = meterDone ? LoadPhase::kIdle : LoadPhase::kAbandoned;
  if (!meterDone) NoteLeftMidTable(handle->path, handle->place.generation, handle->info);
  return result;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_load_progress(mlink_meter* meter, uint32_t* done,
                                                            uint32_t* total) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (done == nullptr || total == nullptr) return MLINK_BAD_ARGUMENT;
  *done = handle->stepsDone;
  *total = handle->stepsTotal;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_load_abort(mlink_meter* meter) {
  const std::shared_ptr<MeterHandle> handle = FindHandle(meter);
  if (handle == nullptr) return MLINK_ERR_INVALID_HANDLE;
  if (handle->phase != LoadPhase::kRunning) return MLINK_ERR_LOAD_STATE;
  // Before "HOSEI" the meter knows of no load.
  handle->phase = handle->stepsDone == 0 ? LoadPhase::kIdle : LoadPhase::kAbandoned;
  if (handle->phase == LoadPhase::kAbandoned) {
    NoteLeftMidTable(handle->path, handle->place.generation, handle->info);
  }
  return MLINK_OK;
}
