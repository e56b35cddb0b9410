// Sensorwiz's one way of talking to meters: opening Meterlink's device
// table, stepping through the meters, the battery and slot queries, and the
// handshaken load of one sensor data table ("HOSEI", 16 echoed header bytes,
// 0x55 handshakes, 6-byte records each paced by an answer, 2-byte trailer).
// The load's steps are the shared load protocol's (loadproto), run over
// Meterlink's ordinals 18 to 21; a meter that hangs mid-table (three answers
// in a row without a byte) fails the load with MLINK_NOT_RECOGNISED.
//
// Every operation returns true or false and keeps the outcome in m_result, a
// code of mlink.h: MLINK_OK for success, otherwise Meterlink's result code
// or MLINK_NOT_RECOGNISED / MLINK_BATTERY_LOW of our own.
#ifndef LX40_WIZARD_CORE_METER_SESSION_H
#define LX40_WIZARD_CORE_METER_SESSION_H

#include <cstdint>
#include <string>

#include "load_protocol.h"
#include "mlink.h"

class CMeterSession {
 public:
  CMeterSession() = default;
  CMeterSession(const CMeterSession&) = delete;
  CMeterSession& operator=(const CMeterSession&) = delete;

  static constexpr uint8_t kAck = 0x55;
  static constexpr int kSlotCount = 7;
  static constexpr int kHeaderBytes = 16;
  static constexpr int kRecordBytes = 6;
  static constexpr int kTrailerBytes = 2;

  // Builds Meterlink's device table and writes the number of meters.
  bool OpenMeters(int32_t* count);
  // Makes the next meter current and stores its serial number. False at the
  // end of the list (m_result stays MLINK_OK) and on failure.
  bool NextMeter(std::string& serial);
  // True when the battery is usable; "BATERY_LO" gives false with
  // MLINK_BATTERY_LOW.
  bool QueryBattery();
  // Battery query, then "TEST": one byte per slot, 0 = empty.
  bool QueryTest(uint8_t slots[kSlotCount]);
  // Sends "HOSEI" and arms the transfer of `table` with `records` records.
  // A null table or 0 records is refused with MLINK_NOT_RECOGNISED before
  // anything is sent.
  // The table must hold 16 + 6 * records + 2 bytes.
  bool StartHosei(const uint8_t* table, uint16_t records);
  bool SendHeaderBlock(uint8_t* count);
  // Sends the next record; false once the record just sent was the last.
  bool SendRecord(uint8_t* count);
  bool SendTrailer();
  bool SendEchoedByte(uint8_t value);
  // Receives one answer; true when its first byte is the acknowledgement.
  bool ReadAck();

  bool IsOk() const { return m_result == MLINK_OK; }
  // The string id of the message for m_result (0 where there is none).
  unsigned GetMessageId() const;

  // The wizard's code for a Meterlink it cannot use (the DLL error
  // message); no Meterlink function gives it.
  static constexpr int32_t kDllError = -3;

  int32_t m_result = MLINK_OK;
  const uint8_t* m_cursor = nullptr;
  uint16_t m_sent = 0;
  uint16_t m_records = 0;
  const uint8_t* m_table = nullptr;

 private:
  // The load protocol's transport over Meterlink's ordinals 18 to 21. The
  // result of the "HOSEI" command line is kept for m_result; the raw sends'
  // results are not looked at (a failed write shows as a missing answer).
  class OrdinalTransport : public loadproto::Transport {
   public:
    bool SendCommand(const char* text) override;
    bool SendByte(uint8_t value) override;
    bool SendBlock(const uint8_t* data, size_t size) override;
    bool Receive() override;
    bool TakeByte(uint8_t* out) override;
    int32_t commandResult = MLINK_OK;
  };

  // Keeps m_cursor and m_sent in step with the load.
  void Track();

  OrdinalTransport m_transport;
  // The sender refuses a step called out of the fixed order (StartHosei,
  // SendHeaderBlock, SendRecord until false, SendTrailer), so it fails with
  // MLINK_NOT_RECOGNISED instead of walking off the table.
  loadproto::TableSender m_sender{m_transport, /*judgeSends=*/false};
};

#endif
