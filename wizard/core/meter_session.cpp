#include "wizard/core/meter_session.h"

#include <cstring>

#include "meterlink/meterlink.h"

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
  if (m_result != 1) return false;
  m_result = GetAllDeviceNum(count);
  return m_result == 1;
}

bool CMeterSession::NextMeter(std::string& serial) {
  char wide[kMeterlinkReply] = {};
  m_result = GetAllDeviceSerialNo(wide);
  if (m_result != 1) return false;
  char buffer[kSerialBuffer] = {};
  CopyCut(buffer, sizeof buffer, wide);
  if (strcmp(buffer, "SN_END") == 0) {
    m_result = 1;
    return false;
  }
  m_result = SelectOneDevice(buffer);
  if (m_result != 1) return false;
  serial.assign(buffer, strnlen(buffer, sizeof buffer));
  return true;
}

bool CMeterSession::QueryBattery() {
  char wide[kMeterlinkReply] = {};
  m_result = USBComd_SendRecv("BTRY", wide);
  if (m_result != 1) return false;
  char reply[kBatteryReply] = {};
  CopyCut(reply, sizeof reply, wide);
  if (strcmp(reply, "BATERY_LO") == 0) {
    m_result = -5;
    return false;
  }
  return true;
}

bool CMeterSession::QueryTest(uint8_t slots[kSlotCount]) {
  if (!QueryBattery()) return false;
  char wide[kMeterlinkReply] = {};
  m_result = USBComd_SendRecv("TEST", wide);
  if (m_result != 1) return false;
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

bool CMeterSession::StartHosei(const uint8_t* table, uint16_t records) {
  m_step = TransferStep::None;
  // A table without records cannot be sent: the record loop ends only when
  // the count is reached after a record.
  if (table == nullptr || records == 0) {
    m_result = -4;
    return false;
  }
  m_result = USBComd_SendRecv("HOSEI", nullptr);
  if (m_result != 1) return false;
  m_cursor = table;
  m_sent = 0;
  m_records = records;
  m_step = TransferStep::Armed;
  return true;
}

bool CMeterSession::SendHeaderBlock(uint8_t* count) {
  if (count != nullptr) *count = kHeaderBytes;
  // The cursor is on the header only right after StartHosei; anywhere else
  // the steps would walk the table out of order, and off its end.
  if (m_step != TransferStep::Armed) {
    m_result = -4;
    return false;
  }
  m_step = TransferStep::None;  // until the header is through
  ReadAck();                    // the answer to "HOSEI", not judged
  for (int i = 0; i < kHeaderBytes; ++i) {
    uint8_t value = *m_cursor++;
    if (!SendEchoedByte(value)) {
      m_result = -4;
      return false;
    }
  }
  sendUSBBin(kAck);
  if (!ReadAck()) {
    m_result = -4;
    return false;
  }
  sendUSBBin(kAck);
  m_step = TransferStep::Records;
  return true;
}

bool CMeterSession::SendEchoedByte(uint8_t value) {
  sendUSBBin(value);
  if (recvUSBBin(nullptr) == 0) return false;
  uint8_t echo = 0;
  if (recvUSBBin(&echo) != 1) return false;  // an answer with no byte is a wrong echo
  if (echo != value) return false;
  m_result = 1;
  return true;
}

bool CMeterSession::SendRecord(uint8_t* count) {
  if (count != nullptr) *count = kRecordBytes;
  // After the last record the cursor stands on the trailer: another record
  // would be read from past the table.
  if (m_step != TransferStep::Records || m_sent >= m_records) {
    m_result = -4;
    return false;
  }
  ReadAck();  // the answer before each record, not judged
  sendUSBBytes(m_cursor, kRecordBytes);
  m_cursor += kRecordBytes;
  ++m_sent;
  if (m_sent == m_records) {
    m_result = -4;  // the end of the records, not a failure
    return false;
  }
  return true;
}

bool CMeterSession::SendTrailer() {
  // Only after the last record does the cursor stand on the trailer.
  if (m_step != TransferStep::Records || m_sent != m_records) {
    m_result = -4;
    return false;
  }
  m_step = TransferStep::None;
  ReadAck();  // the answer to the last record, not judged
  sendUSBBytes(m_cursor, kTrailerBytes);
  if (!ReadAck()) {
    m_result = -4;
    return false;
  }
  return true;  // m_result stays -4 from the last record
}

bool CMeterSession::ReadAck() {
  if (recvUSBBin(nullptr) == 0) return false;
  uint8_t answer = 0;
  if (recvUSBBin(&answer) != 1) return false;  // no byte: not an acknowledgement
  return answer == kAck;
}

unsigned CMeterSession::GetMessageId() const {
  switch (m_result) {
    case 1:
      return 0;
    case -1:
    case -2:
    case -4:
    case -7:
      return 602;
    case -3:
      return 601;
    case -5:
      return 603;
    default:
      return 0;
  }
}
