// The device table: which device positions hold LX40 meters, their serial
// numbers and pipes, and which meter is selected for every later exchange.
//
// Bulkpipe reports the number of device positions and opens the two pipes of
// each; from then on the pipes belong to this table, which closes them when a
// position holds no meter, when the build fails, and in CloseAllDevice.
#include <cstring>
#include <new>

#include "bulkpipe/bulkpipe.h"
#include "meterlink/exchange.h"
#include "meterlink/meterlink.h"
#include "meterlink/idn_serial.h"

namespace meterlink {
namespace {

// Positions travel to the pipe opener as signed 8-bit numbers, so the table
// serves positions 0 to 127; further positions are not looked at.
constexpr int32_t kMaxDevicePositions = 128;
// 11 characters and the NUL: a longer serial field of the "IDN" reply is cut.
constexpr std::size_t kSerialSize = 12;
// Serial numbers are 9 characters in practice and compared on those.
constexpr std::size_t kComparedSerialLength = 9;
// The exact reply of an LX40 to "QPID".
constexpr char kModelString[] = "LX40";
constexpr char kSerialListEnd[] = "SN_END";

struct MeterEntry {
  char serial[kSerialSize] = {};  // empty: no meter here, or its serial is unknown
  PipePair pipes;                 // "none" when not open
};

MeterEntry* g_table = nullptr;
int32_t g_deviceCount = 0;
int32_t g_meterCount = 0;
int32_t g_serialCursor = 0;

void ClosePipes(PipePair pipes) {
  if (pipes.command != USBHOST_INVALID) usbhost_close(pipes.command);
  if (pipes.reply != USBHOST_INVALID) usbhost_close(pipes.reply);
}

void ReleaseTable() {
  for (int32_t p = 0; p < g_deviceCount; ++p) ClosePipes(g_table[p].pipes);
  delete[] g_table;
  g_table = nullptr;
  g_deviceCount = 0;
  g_meterCount = 0;
  g_serialCursor = 0;
  ClearCurrentPipes();
}

PipePair OpenPipes(int32_t position) {
  PipePair pipes;
  pipes.command = OpenUSBBulkFile(0, position);
  if (pipes.command != USBHOST_INVALID) pipes.reply = OpenUSBBulkFile(1, position);
  return pipes;
}

// Asks the meter on the current pipes for its identification and keeps the
// third field as the serial number. A reply with fewer than three fields, or
// a failed exchange, leaves the serial empty: the meter stays in the table
// and counted, but the serial walk passes over it and it cannot be selected.
void ReadSerial(MeterEntry& entry) {
  char* reply = ReplyText();
  if (USBComd_SendRecv("IDN", reply) != MLINK_OK) return;
  CopyIdnSerial(reply, entry.serial, kSerialSize);
}

// Looks at one position with its pipes current: 1 when it holds a meter
// (pipes stored in the entry) or not (pipes closed, meter count lowered);
// otherwise the failed exchange's code, with the pipes still open.
int32_t ProbePosition(MeterEntry& entry, PipePair pipes) {
  char* reply = ReplyText();
  const int32_t result = USBComd_SendRecv("QPID", reply);
  if (result != MLINK_OK) return result;
  if (std::strcmp(reply, kModelString) != 0) {
    ClosePipes(pipes);
    --g_meterCount;
    return MLINK_OK;
  }
  entry.pipes = pipes;
  ReadSerial(entry);
  return MLINK_OK;
}

}  // namespace
}  // namespace meterlink

using namespace meterlink;

extern "C" MLINK_API int32_t OpenAllDevice(void) {
  if (g_table != nullptr) return MLINK_TRANSPORT_FAILED;  // the caller closes first

  int32_t count = CheckUSBDevices(nullptr);
  if (count <= 0) return MLINK_TRANSPORT_FAILED;
  if (count > kMaxDevicePositions) count = kMaxDevicePositions;

  g_table = new (std::nothrow) MeterEntry[static_cast<std::size_t>(count)];
  if (g_table == nullptr) return MLINK_TRANSPORT_FAILED;
  g_deviceCount = count;
  g_meterCount = count;
  g_serialCursor = 0;

  int32_t failure = MLINK_OK;
  for (int32_t p = 0; p < count; ++p) {
    const PipePair pipes = OpenPipes(p);
    if (pipes.command == USBHOST_INVALID || pipes.reply == USBHOST_INVALID) {
      ClosePipes(pipes);
      failure = MLINK_TRANSPORT_FAILED;
      break;
    }
    SetCurrentPipes(pipes);
    failure = ProbePosition(g_table[p], pipes);
    if (failure != MLINK_OK) {
      ClosePipes(pipes);  // not stored in the table yet
      break;
    }
  }
  ClearCurrentPipes();

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

extern "C" MLINK_API int32_t CloseAllDevice(void) {
  if (g_table == nullptr || g_deviceCount == 0) return MLINK_TRANSPORT_FAILED;
  ReleaseTable();
  return MLINK_OK;
}

extern "C" MLINK_API int32_t GetAllDeviceNum(int32_t* count) {
  if (count == nullptr) return MLINK_BAD_ARGUMENT;
  if (g_table == nullptr || g_meterCount == 0) return MLINK_TRANSPORT_FAILED;
  *count = g_meterCount;
  return MLINK_OK;
}

extern "C" MLINK_API int32_t GetAllDeviceSerialNo(char* serial) {
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

extern "C" MLINK_API int32_t SelectOneDevice(char* serial) {
  if (serial == nullptr) return MLINK_BAD_ARGUMENT;
  serial[kComparedSerialLength] = '\0';  // the caller sees its text cut here
  if (g_table == nullptr || serial[0] == '\0') return MLINK_TRANSPORT_FAILED;

  // First 9 characters against first 9: a serial longer than 9 characters
  // (which GetAllDeviceSerialNo hands out whole) still finds its meter.
  // Entries without a serial hold no selectable meter.
  for (int32_t p = 0; p < g_deviceCount; ++p) {
    const MeterEntry& entry = g_table[p];
    if (entry.serial[0] != '\0' && std::strncmp(serial, entry.serial, kComparedSerialLength) == 0) {
      SetCurrentPipes(entry.pipes);
      return MLINK_OK;
    }
  }
  return MLINK_TRANSPORT_FAILED;
}
