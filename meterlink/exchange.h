// The command exchange inside Meterlink: the current pipe pair, the shared
// command and reply buffers, and the two operations the meter commands are
// built on. Internal to the library (not exported).
//
// Every exchange path uses these fixed buffers and no heap. All state is
// process-wide and unguarded: one calling thread at a time.
#ifndef LX40_METERLINK_EXCHANGE_H
#define LX40_METERLINK_EXCHANGE_H

#include <cstddef>
#include <cstdint>

#include "usbhost/usbhost.h"

namespace meterlink {

// Longest command text; the frame adds one LF.
inline constexpr std::size_t kMaxCommandLength = 100;
// Size of the shared command text and reply buffers.
inline constexpr std::size_t kCommandTextSize = 100;
inline constexpr std::size_t kReplyTextSize = 100;
// Every read on the reply pipe asks for this many bytes; a text reply must
// fit in one block, so it is at most 63 characters and its CR.
inline constexpr uint32_t kReadBlockSize = 64;
// Size of the raw receive buffer of recvUSBBin.
inline constexpr std::size_t kReceiveBufferSize = 1000;
// A reply ends with a read that completes with no byte. A device that keeps
// sending would keep the caller in the read loop for ever, so one receive
// reads at most this many blocks and then counts as a transport failure.
// No real answer comes near it (a text reply is one block, a raw answer a
// few bytes).
inline constexpr int kMaxBlocksPerReceive = 1024;

// The pipes of the selected meter: every send writes `command`, every
// receive reads `reply`. USBHOST_INVALID ("none") when no meter is selected.
struct PipePair {
  usbhost_handle command = USBHOST_INVALID;
  usbhost_handle reply = USBHOST_INVALID;
};

// Set by meter selection and by building or closing the device table; the
// exchange itself never opens, closes or chooses pipes.
void SetCurrentPipes(PipePair pipes);
void ClearCurrentPipes();
PipePair CurrentPipes();

// Where the meter commands assemble their command text (clear it to "" before
// each assembly; at most kMaxCommandLength characters and the NUL).
char* CommandText();
// Where the battery check, the device table and the meter commands receive
// their reply text. A command whose reply lands here overwrites the battery
// reply that preceded it.
char* ReplyText();

// Sends `command` to the current meter, after the battery check unless
// `skipBattery` is non-zero, and receives its reply into `reply` (a buffer of
// kReplyTextSize bytes, usually ReplyText()). Maps the meter's error replies:
// "CMD_ERR" -4, "DATA_ERR" -1, "NO_SENSER" -7, "MEM_ERR" -7, "MODE_ERR" -10.
// Otherwise 1, with the reply left in `reply` for the caller to parse.
// Battery and exchange failures come back unchanged; with a battery failure
// the command is not sent. A null `command` or `reply` gives -1, no I/O.
int32_t SendMeterCommand(const char* command, char* reply, int32_t skipBattery);

// Sends "BTRY" and receives into ReplyText(): "BATERY_OK" 1, "BATERY_LO" -5,
// any other reply -4; exchange failures unchanged.
int32_t CheckBattery();

}  // namespace meterlink

#endif
