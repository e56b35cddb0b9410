// The device table: which device positions hold LX40 meters, their serial
// numbers and per-meter exchange state, and which meter is selected for
// every later ordinal exchange.
//
// Bulkpipe reports the number of device positions and opens the two pipes of
// each; from then on the pipes belong to this table, which closes them when a
// position holds no meter, when the build fails, and in CloseAllDevice. Each
// meter kept is registered (meter_registry.h), so the handle API never talks
// to it, and the table passes over meters open through the handle API or in
// another program as if they were not attached. The table is the ordinal
// interface's: one calling thread at a time.
#include "device_table.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "meter_registry.h"
#include "meterlink.h"

namespace meterlink {
namespace {

// 11 characters and the NUL: a longer serial field of the "IDN" reply is cut.
constexpr std::size_t kSerialSize = 12;
// Serial numbers are 9 characters in practice and compared on those.
constexpr std::size_t kComparedSerialLength = 9;
constexpr char kSerialListEnd[] = "SN_END";

struct MeterEntry {
  char serial[kSerialSize] = {};  // empty: no meter here, or its serial is unknown
  std::string path;               // registered under this path when the meter is kept
  OwnedPipes pipes;               // the kept meter's pipes
  std::unique_ptr<Meter> meter;   // null when the position holds no meter
};

MeterEntry* g_table = nullptr;
int32_t g_deviceCount = 0;
int32_t g_meterCount = 0;
int32_t g_serialCursor = 0;
Meter* g_selected = nullptr;

Meter& NoMeter() {
  static Meter none;  // no pipes: every exchange fails
  return none;
}

void ReleaseTable() {
  for (int32_t p = 0; p < g_deviceCount; ++p) {
    MeterEntry& entry = g_table[p];
    if (entry.meter == nullptr) continue;
    entry.pipes.Close();  // before the lock goes with the registration
    UnregisterMeter(entry.path);
  }
  delete[] g_table;
  g_table = nullptr;
  g_deviceCount = 0;
  g_meterCount = 0;
  g_serialCursor = 0;
  g_selected = nullptr;
}

// Looks at one position: 1 when it holds a meter (kept in the entry) or not
// (passed over, meter count lowered); otherwise the failure's code, with
// nothing left open (what is not kept is given back as `opened` goes).
int32_t ProbePosition(int32_t position, MeterEntry& entry) {
  OpenedPosition opened;
  switch (OpenPosition(position, opened, nullptr)) {
    case PositionState::kOpened:
      break;
    case PositionState::kOpenHere:
    case PositionState::kProbingHere:
    case PositionState::kOpenElsewhere:
    case PositionState::kNeedsReplug:  // waits for table bytes: no byte of ours
    case PositionState::kLockFailed:   // unguarded: never talked to
      --g_meterCount;                  // in use: as if it were not attached
      return MLINK_OK;
    case PositionState::kNoPermission:  // the ordinal interface has no code of its own for it
    case PositionState::kFailed:
      return MLINK_TRANSPORT_FAILED;
  }
  auto meter = std::make_unique<Meter>(opened.pipes.get());
  bool isMeter = false;
  mlink_meter_info info{};
  const int32_t result = ProbeMeter(*meter, &isMeter, &info);
  if (result != MLINK_OK || !isMeter) {
    if (result == MLINK_OK) --g_meterCount;
    return result;
  }
  // Meters without a serial number stay in the table and counted, but the
  // serial walk passes over them and they cannot be selected.
  std::memcpy(entry.serial, info.serial, strnlen(info.serial, kSerialSize - 1));
  info.position = position;
  entry.path = opened.path;
  entry.pipes = std::move(opened.pipes);
  entry.meter = std::move(meter);
  RegisterMeter(opened.path, Holder::kDeviceTable, info, std::move(opened.lock));
  return MLINK_OK;
}

}  // namespace

Meter& SelectedMeter() { return g_selected != nullptr ? *g_selected : NoMeter(); }

}  // namespace meterlink

using namespace meterlink;

extern "C" MLINK_API int32_t MLINK_CALL OpenAllDevice(void) {
  if (g_table != nullptr) return MLINK_TRANSPORT_FAILED;  // the caller closes first

  const std::unique_lock<std::mutex> walk = LockWalk();
  const int32_t count = CountPositions();
  if (count <= 0) return MLINK_TRANSPORT_FAILED;

  g_table = new (std::nothrow) MeterEntry[static_cast<std::size_t>(count)];
  if (g_table == nullptr) return MLINK_TRANSPORT_FAILED;
  g_deviceCount = count;
  g_meterCount = count;
  g_serialCursor = 0;

  int32_t failure = MLINK_OK;
  for (int32_t p = 0; p < count && failure == MLINK_OK; ++p) {
    failure = ProbePosition(p, g_table[p]);
  }

  if (failure != MLINK_OK) {
    ReleaseTable();
    return failure;
  }
  if (g_meterCount == 0) {
    ReleaseTable();
    return MLINK_NOT_A_METER;
  }
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL CloseAllDevice(void) {
  if (g_table == nullptr || g_deviceCount == 0) return MLINK_TRANSPORT_FAILED;
  ReleaseTable();
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL GetAllDeviceNum(int32_t* count) {
  if (count == nullptr) return MLINK_BAD_ARGUMENT;
  if (g_table == nullptr || g_meterCount == 0) return MLINK_TRANSPORT_FAILED;
  *count = g_meterCount;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL GetAllDeviceSerialNo(char* serial) {
  if (serial == nullptr) return MLINK_BAD_ARGUMENT;
  if (g_table == nullptr || g_meterCount == 0) return MLINK_TRANSPORT_FAILED;

  int32_t p = g_serialCursor;
  while (p < g_deviceCount && g_table[p].serial[0] == '\0') ++p;
  if (p >= g_deviceCount) {
    g_serialCursor = 0;
    std::memcpy(serial, kSerialListEnd, sizeof kSerialListEnd);
  } else {
    // At most 11 characters and the NUL.
    const char* text = g_table[p].serial;
    std::memcpy(serial, text, strnlen(text, kSerialSize - 1) + 1);
    g_serialCursor = p + 1;
  }
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL SelectOneDevice(char* serial) {
  if (serial == nullptr) return MLINK_BAD_ARGUMENT;
  serial[kComparedSerialLength] = '\0';  // the caller sees its text cut here
  if (g_table == nullptr || serial[0] == '\0') return MLINK_TRANSPORT_FAILED;

  // First 9 characters against first 9: a serial longer than 9 characters
  // (which GetAllDeviceSerialNo hands out whole) still finds its meter.
  // Entries without a serial hold no selectable meter.
  for (int32_t p = 0; p < g_deviceCount; ++p) {
    const MeterEntry& entry = g_table[p];
    if (entry.serial[0] != '\0' && std::strncmp(serial, entry.serial, kComparedSerialLength) == 0) {
      g_selected = entry.meter.get();
      return MLINK_OK;
    }
  }
  return MLINK_TRANSPORT_FAILED;
}
