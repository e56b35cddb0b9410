#include "meter_session.h"

#include <cstring>

#include "meterlink.h"
#include "string_ids.h"
#include "wizard_messages.h"

namespace {

// Meterlink writes at most 63 characters and a NUL into a reply buffer; the
// session receives into one that size and keeps only what its own buffers
// hold, so a long reply is cut, never written past a buffer.
constexpr size_t kMeterlinkReply = 64;
constexpr size_t kBatteryReply = 12;  // "BATERY_OK" and room to spare
constexpr size_t kTestReply = 20;     // "TEST:" and seven digits, zero-filled
constexpr size_t kSerialBuffer = 16;  // GetAllDeviceSerialNo / SelectOneDevice

// Copies the NUL-terminated text of `src` into `dst` of `size` bytes, cut to
// size - 1 characters. dst keeps its zero filling after the text.
void CopyCut(char* dst, size_t size, const char* src) {
  size_t n = strnlen(src, size - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

}  // namespace

bool CMeterSession::OpenMeters(int32_t* count) {
  m_result = OpenAllDevice();
  if (m_result != MLINK_OK) return false;
  m_result = GetAllDeviceNum(count);
  return m_result == MLINK_OK;
}

bool CMeterSession::NextMeter(std::string& serial) {
  char wide[kMeterlinkReply] = {};
  m_result = GetAllDeviceSerialNo(wide);
  if (m_result != MLINK_OK) return false;
  char buffer[kSerialBuffer] = {};
  CopyCut(buffer, sizeof buffer, wide);
  if (strcmp(buffer, "SN_END") == 0) {
    m_result = MLINK_OK;
    return false;
  }
  m_result = SelectOneDevice(buffer);
  if (m_result != MLINK_OK) return false;
  serial.assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

bool CMeterSession::QueryBattery() {
  char wide[kMeterlinkReply] = {};
  m_result = USBComd_SendRecv("BTRY", wide);
  if (m_result != MLINK_OK) return false;
  char reply[kBatteryReply] = {};
  CopyCut(reply, sizeof reply, wide);
  if (strcmp(reply, "BATERY_LO") == 0) {
    m_result = MLINK_BATTERY_LOW;
    return false;
  }
  return true;
}

bool CMeterSession::QueryTest(uint8_t slots[kSlotCount]) {
  if (!QueryBattery()) return false;
  char wide[kMeterlinkReply] = {};
  m_result = USBComd_SendRecv("TEST", wide);
  if (m_result != MLINK_OK) return false;
  char reply[kTestReply] = {};
  CopyCut(reply, sizeof reply, wide);
  // The ':' is looked for in the whole reply: one standing past the
  // characters kept still means "slot digits follow", and those digits,
  // lying beyond the buffer, count as filled. Treating it as absent would
  // report every slot empty and let the run write over loaded data.
  const char* colon = static_cast<const char*>(memchr(wide, ':', strnlen(wide, sizeof wide)));
  if (colon == nullptr) {
    memset(slots, 0, kSlotCount);
    return true;
  }
  size_t at = static_cast<size_t>(colon - wide) + 1;
  for (int i = 0; i < kSlotCount; ++i, ++at) {
    // Past the end of the reply the zero filling gives a non-zero digit (the
    // slot counts as filled); past the buffer itself likewise.
    char c = at < sizeof reply ? reply[at] : '\0';
    slots[i] = static_cast<uint8_t>(c - '0');
  }
  return true;
}

bool CMeterSession::OrdinalTransport::SendCommand(const char* text) {
  commandResult = USBComd_SendRecv(text, nullptr);
  return commandResult == MLINK_OK;
}

bool CMeterSession::OrdinalTransport::SendByte(uint8_t value) {
  return sendUSBBin(value) == MLINK_OK;
}

bool CMeterSession::OrdinalTransport::SendBlock(const uint8_t* data, size_t size) {
  return sendUSBBytes(data, static_cast<int32_t>(size)) == MLINK_OK;
}

bool CMeterSession::OrdinalTransport::Receive() { return recvUSBBin(nullptr) != MLINK_RAW_FAILED; }

bool CMeterSession::OrdinalTransport::TakeByte(uint8_t* out) { return recvUSBBin(out) == MLINK_OK; }

void CMeterSession::Track() {
  m_sent = m_sender.records_sent();
  if (m_cursor != nullptr) m_cursor = m_table + m_sender.bytes_sent();
}

bool CMeterSession::StartHosei(const uint8_t* table, uint16_t records) {
  // A table without records cannot be sent: the record loop ends only when
  // the count is reached after a record.
  if (!m_sender.Arm(table, records)) {
    m_result = MLINK_NOT_RECOGNISED;
    return false;
  }
  const loadproto::Status status = m_sender.SendHosei();
  if (status != loadproto::Status::kOk) {
    m_result = m_transport.commandResult;
    return false;
  }
  m_result = MLINK_OK;
  m_table = table;
  m_cursor = table;
  m_sent = 0;
  m_records = records;
  return true;
}

bool CMeterSession::SendHeaderBlock(uint8_t* count) {
  if (count != nullptr) *count = kHeaderBytes;
  const loadproto::Status status = m_sender.SendHeader();
  Track();
  if (status != loadproto::Status::kOk) {
    m_result = MLINK_NOT_RECOGNISED;
    return false;
  }
  m_result = MLINK_OK;
  return true;
}

bool CMeterSession::SendEchoedByte(uint8_t value) {
  if (m_sender.SendEchoedByte(value) != loadproto::Status::kOk) return false;
  m_result = MLINK_OK;
  return true;
}

bool CMeterSession::SendRecord(uint8_t* count) {
  if (count != nullptr) *count = kRecordBytes;
  const loadproto::Status status = m_sender.SendRecord();
  Track();
  if (status == loadproto::Status::kOk) return true;
  // The end of the records (not a failure: the trailer follows), a step
  // out of order, or a meter that stopped answering.
  m_result = MLINK_NOT_RECOGNISED;
  return false;
}

bool CMeterSession::SendTrailer() {
  const loadproto::Status status = m_sender.SendTrailer();
  Track();
  if (status != loadproto::Status::kDone) {
    m_result = MLINK_NOT_RECOGNISED;
    return false;
  }
  return true;  // m_result stays MLINK_NOT_RECOGNISED from the last record
}

bool CMeterSession::ReadAck() { return m_sender.ReadAck(); }

unsigned CMeterSession::GetMessageId() const {
  // The wizard's own code first; Meterlink's codes as lx40 quotes them too.
  if (m_result == kDllError) return ids::kMessageDllError;
  return WizardMessageId(m_result);
}
