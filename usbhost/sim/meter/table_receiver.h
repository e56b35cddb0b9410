// The meter's side of the sensor data load that follows "HOSEI": the 16
// header bytes one by one with echo, two 0x55 handshakes, the records, and
// the 2-byte trailer. Fed as a byte stream, so a host that writes other
// chunk sizes than the usual 1 / 6 / 2 bytes is still understood. Memory is
// bounded by the largest table the 16-bit size field can describe.
#ifndef LX40_USBHOST_SIM_METER_TABLE_RECEIVER_H
#define LX40_USBHOST_SIM_METER_TABLE_RECEIVER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace usbsim {

struct LoadFaults {
  int wrong_echo_at = -1;    // header byte (0..15) echoed wrongly
  bool nak_header = false;   // NAK the handshake after the header
  bool nak_trailer = false;  // NAK the trailer of a good table
};

// A table the meter accepted: the whole table, header to trailer.
struct ReceivedTable {
  int slot = 0;
  std::vector<uint8_t> bytes;
};

class TableReceiver {
 public:
  static constexpr size_t kHeaderSize = 16;
  static constexpr size_t kRecordSize = 6;
  static constexpr size_t kTrailerSize = 2;
  static constexpr size_t kMaxTableSize = 65535;
  static constexpr size_t kMaxRecords = (kMaxTableSize - kHeaderSize - kTrailerSize) / kRecordSize;

  // "HOSEI" was accepted: wait for the first header byte.
  void Start(const LoadFaults& faults);
  void Abort();
  bool Active() const { return phase_ != Phase::kIdle; }

  // Takes the next byte of the load. When the byte completes a unit (a
  // header byte, a handshake, a record, the trailer) the meter's answer to
  // it is appended to `answer`. A good table is returned when its trailer
  // completes; after the trailer, or after a refused handshake, the load is
  // over (Active() is false).
  std::optional<ReceivedTable> Feed(uint8_t byte, std::string& answer);

 private:
  enum class Phase { kIdle, kHeader, kHeaderAck, kStartAck, kRecords, kTrailer };

  uint16_t HeaderField(size_t offset) const;
  std::optional<ReceivedTable> JudgeTrailer(std::string& answer);

  Phase phase_ = Phase::kIdle;
  LoadFaults faults_;
  std::vector<uint8_t> table_;  // every byte received since "HOSEI", handshakes excluded
  size_t body_end_ = 0;         // offset of the trailer: 16 + 6N
};

}  // namespace usbsim

#endif
