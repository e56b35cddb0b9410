// The sensor data load as the host drives it, over any transport that can
// send a command line, a byte and a block, receive one answer and take its
// bytes. Used by Meterlink's handle API (over a meter's pipes) and by the
// wizard's meter session (over Meterlink's ordinals 18 to 21), so both send
// the same bytes in the same order:
//
//   "HOSEI"                           the meter answers once
//   16 header bytes, one at a time    each echoed
//   0x55                              answered 0x55 (NAK refuses the table)
//   0x55
//   N records of 6 bytes              each preceded by reading one answer
//   the 2 trailer bytes               after reading the last record's answer;
//                                     answered 0x55 when the meter stored it
//
// The answers before a record (and the one to "HOSEI") are read but not
// judged, so a wrong byte there never stops a load. A meter that has hung
// does stop it: once three answers in a row carry no byte at all (a failed
// read counts as one), the load fails and nothing more is written. A single
// empty answer is tolerated. The table's CRC is not computed here: the
// meter's answer to the trailer decides.
#ifndef LX40_LOADPROTO_LOAD_PROTOCOL_H
#define LX40_LOADPROTO_LOAD_PROTOCOL_H

#include <cstddef>
#include <cstdint>

namespace loadproto {

inline constexpr uint8_t kAck = 0x55;
inline constexpr std::size_t kHeaderBytes = 16;
inline constexpr std::size_t kRecordBytes = 6;
inline constexpr std::size_t kTrailerBytes = 2;
// Answers in a row without a byte after which the meter counts as hung.
inline constexpr int kEmptyAnswersForHung = 3;
// The command that starts a load.
inline constexpr char kLoadCommand[] = "HOSEI";

// The host's side of the wire. A send returns false when it failed; the
// protocol always judges the command line and the other sends only where
// its user asks it to (see TableSender).
class Transport {
 public:
  virtual ~Transport() = default;
  // A text command line (the transport adds its frame).
  virtual bool SendCommand(const char* text) = 0;
  virtual bool SendByte(uint8_t value) = 0;
  virtual bool SendBlock(const uint8_t* data, std::size_t size) = 0;
  // Reads one whole answer; false when the read failed.
  virtual bool Receive() = 0;
  // The next byte of the last answer; false when it has none left.
  virtual bool TakeByte(uint8_t* out) = 0;
};

enum class Status {
  kOk,           // the step is done; more follow
  kRecordsDone,  // the record just sent was the last: the trailer follows
  kDone,         // the trailer was acknowledged: the meter stored the table
  kSendFailed,   // the transport refused a send (only where sends are judged)
  kWrongEcho,    // a header byte came back as another byte
  kRefused,      // the answer to the header handshake or to the trailer was not 0x55
  kNoAnswer,     // an answer that must carry a byte had none, or the meter hung
  kOutOfOrder,   // a step called out of its order, or no table armed
};

// One table's load. The steps must come in their order: SendHosei,
// SendHeader, SendRecord until it gives kRecordsDone, SendTrailer. After
// any result other than kOk and kRecordsDone the load is over: every later
// step gives kOutOfOrder and sends nothing, until Arm starts a new one.
class TableSender {
 public:
  // judgeSends: a failed send fails the step with kSendFailed. Without it
  // sends are not looked at (a failed write shows as a missing answer).
  explicit TableSender(Transport& transport, bool judgeSends = true)
      : transport_(transport), judge_sends_(judgeSends) {}

  // Arms the load of `table` (16 + 6 * records + 2 bytes, which stay the
  // caller's and must outlive the load). No I/O. False for a null table or
  // no record (nothing armed).
  bool Arm(const uint8_t* table, uint16_t records);

  Status SendHosei();
  Status SendHeader();
  Status SendRecord();
  Status SendTrailer();

  // The single exchanges the steps are made of, for callers that pace the
  // header themselves. SendEchoedByte: send, receive, the first byte must
  // be `value` (kOk, kWrongEcho, kNoAnswer, kSendFailed).
  Status SendEchoedByte(uint8_t value);
  // Receives one answer; true when its first byte is 0x55. Counts answers
  // without a byte towards the hung-meter rule.
  bool ReadAck();
  // True once kEmptyAnswersForHung answers in a row carried no byte.
  bool MeterHung() const { return empty_answers_ >= kEmptyAnswersForHung; }

  uint16_t records() const { return records_; }
  uint16_t records_sent() const { return sent_; }
  // The bytes of the table sent so far.
  std::size_t bytes_sent() const { return static_cast<std::size_t>(cursor_ - table_); }

 private:
  enum class Step : uint8_t { kNone, kArmed, kHoseiSent, kRecords, kOver };
  // One answer: whether it carried a first byte, and which.
  bool ReceiveFirstByte(uint8_t* first);
  Status Fail(Status status);
  bool Sent(bool ok) const { return ok || !judge_sends_; }

  Transport& transport_;
  const bool judge_sends_;
  Step step_ = Step::kNone;
  const uint8_t* table_ = nullptr;
  const uint8_t* cursor_ = nullptr;
  uint16_t records_ = 0;
  uint16_t sent_ = 0;
  int empty_answers_ = 0;
};

}  // namespace loadproto

#endif
