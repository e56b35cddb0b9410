// The per-meter core of Meterlink: one meter's two pipes, its command and
// reply texts and its raw receive buffer, and the exchanges built on them.
// Results are mlink.h's codes (MLINK_OK, MLINK_TRANSPORT_FAILED, ...; the raw
// transfers give MLINK_OK or MLINK_RAW_FAILED, as the ordinal exports do).
// Both interfaces use it: the ordinal exports through the device table's
// selected meter, the handle API through each mlink_meter. Internal to the
// library (not exported).
//
// A Meter is used by one thread at a time; different Meters are independent.
// Every exchange uses the object's fixed buffers and no heap.
#ifndef LX40_METERLINK_EXCHANGE_H
#define LX40_METERLINK_EXCHANGE_H

#include <cstddef>
#include <cstdint>

#include "mlink.h"
#include "usbhost.h"

namespace meterlink {

// Longest command text; the frame adds one LF.
inline constexpr std::size_t kMaxCommandLength = 100;
// Size of the command text and reply buffers.
inline constexpr std::size_t kCommandTextSize = 100;
inline constexpr std::size_t kReplyTextSize = 100;
// Every read on the reply pipe asks for this many bytes; a text reply must
// fit in one block, so it is at most 63 characters and its CR.
inline constexpr uint32_t kReadBlockSize = 64;
// Size of the raw receive buffer.
inline constexpr std::size_t kReceiveBufferSize = 1000;
// A reply ends with a read that completes with no byte. A device that keeps
// sending would keep the caller in the read loop for ever, so one receive
// reads at most this many blocks and then counts as a transport failure.
// No real answer comes near it (a text reply is one block, a raw answer a
// few bytes).
inline constexpr int kMaxBlocksPerReceive = 1024;

// A meter's pipes: every send writes `command`, every receive reads `reply`.
// USBHOST_INVALID ("none") when not open. A plain pair of handles: the
// exchange uses them, an OwnedPipes owns them.
struct PipePair {
  usbhost_handle command = USBHOST_INVALID;
  usbhost_handle reply = USBHOST_INVALID;
};

// The owner of an opened meter's two pipes: whichever of them is open is
// closed when the owner goes, or at Close. Move-only, as MeterLock is.
class OwnedPipes {
 public:
  OwnedPipes() = default;
  explicit OwnedPipes(PipePair pipes) : pipes_(pipes) {}
  ~OwnedPipes() { Close(); }
  OwnedPipes(OwnedPipes&& other) noexcept : pipes_(other.pipes_) { other.pipes_ = PipePair{}; }
  OwnedPipes& operator=(OwnedPipes&& other) noexcept {
    if (this != &other) {
      Close();
      pipes_ = other.pipes_;
      other.pipes_ = PipePair{};
    }
    return *this;
  }
  OwnedPipes(const OwnedPipes&) = delete;
  OwnedPipes& operator=(const OwnedPipes&) = delete;

  PipePair get() const { return pipes_; }
  // Both pipes open.
  bool open() const { return pipes_.command != USBHOST_INVALID && pipes_.reply != USBHOST_INVALID; }
  void Close() {
    if (pipes_.command != USBHOST_INVALID) usbhost_close(pipes_.command);
    if (pipes_.reply != USBHOST_INVALID) usbhost_close(pipes_.reply);
    pipes_ = PipePair{};
  }

 private:
  PipePair pipes_;
};

class Meter {
 public:
  Meter() = default;
  explicit Meter(PipePair pipes) : pipes_(pipes) {}
  Meter(const Meter&) = delete;
  Meter& operator=(const Meter&) = delete;

  PipePair pipes() const { return pipes_; }
  // The exchange never opens or closes pipes; their owner (an OwnedPipes)
  // does.
  void set_pipes(PipePair pipes) { pipes_ = pipes; }

  // Where the meter commands assemble their command text (at most
  // kMaxCommandLength characters and the NUL).
  char* command_text() { return command_text_; }
  // Where the battery check and the meter commands receive their reply
  // text. A command's reply overwrites the battery reply before it.
  char* reply_text() { return reply_text_; }

  // --- Text exchange (the frame of USBComd_SendRecv) ---
  // `command` (1 to 100 characters) and LF in one write.
  // MLINK_TRANSPORT_FAILED when too long (nothing written), no pipe, or the
  // write fails.
  int32_t SendText(const char* command);
  // Reads the reply line into `reply` (at least 64 bytes) without its CR.
  // MLINK_TRANSPORT_FAILED when a read fails or the meter never stops
  // sending (reply ""), MLINK_NOT_RECOGNISED when the reply has no CR (reply
  // untouched).
  int32_t ReceiveText(char* reply);

  // --- Raw transfers ---
  // `size` bytes in one write: MLINK_OK, or MLINK_RAW_FAILED.
  int32_t WriteRaw(const uint8_t* data, uint32_t size);
  // Reads one answer until a read completes with no byte; the bytes of the
  // last non-empty block are then on hand for Take. MLINK_OK, or
  // MLINK_RAW_FAILED when a read fails or the meter never stops sending (no
  // byte on hand then).
  int32_t ReceiveLastBlock();
  // Reads one answer, every block appended into buffer[0..size-1];
  // *received gets the whole answer's length even when it did not fit.
  // As ReceiveLastBlock, but nothing is kept on hand.
  int32_t ReceiveWhole(uint8_t* buffer, std::size_t size, std::size_t* received);
  // The next byte on hand into *out: MLINK_OK, or MLINK_RAW_FAILED with
  // *out untouched when none is left.
  int32_t Take(uint8_t* out);
  // Bytes of the last answer that Take has not handed out yet.
  int32_t BytesLeft() const { return bytes_on_hand_ - read_position_; }

 private:
  PipePair pipes_;
  char command_text_[kCommandTextSize] = {};
  char reply_text_[kReplyTextSize] = {};
  uint8_t receive_buffer_[kReceiveBufferSize] = {};
  int32_t read_position_ = 0;  // index of the next byte a take hands out
  // Bytes of the last non-empty block: a take never hands out more. 0 when
  // the last answer carried no byte or its receive failed, so stale bytes
  // of an earlier answer are never taken for a new one.
  int32_t bytes_on_hand_ = 0;
};

// Sends "BTRY" and receives into meter.reply_text(): "BATERY_OK" MLINK_OK,
// "BATERY_LO" MLINK_BATTERY_LOW, any other reply MLINK_NOT_RECOGNISED;
// exchange failures unchanged.
int32_t CheckBattery(Meter& meter);

// Sends `command`, after the battery check unless `skipBattery` is
// non-zero, and receives its reply into `reply` (a buffer of
// kReplyTextSize bytes, usually meter.reply_text()). Maps the meter's error
// replies: "CMD_ERR" MLINK_NOT_RECOGNISED, "DATA_ERR" MLINK_BAD_ARGUMENT,
// "NO_SENSER" and "MEM_ERR" MLINK_SENSOR_OR_MEMORY, "MODE_ERR"
// MLINK_MODE_OR_NO_DATA. Otherwise MLINK_OK, with the reply left in `reply`
// for the caller to parse. Battery and exchange failures come back
// unchanged; with a battery failure the command is not sent. A null
// `command` or `reply` gives MLINK_BAD_ARGUMENT, no I/O.
int32_t SendMeterCommand(Meter& meter, const char* command, char* reply, int32_t skipBattery);

}  // namespace meterlink

#endif
