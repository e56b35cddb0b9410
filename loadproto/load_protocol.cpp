#include "load_protocol.h"

namespace loadproto {

bool TableSender::Arm(const uint8_t* table, uint16_t records) {
  step_ = Step::kNone;
  if (table == nullptr || records == 0) return false;
  table_ = table;
  cursor_ = table;
  records_ = records;
  sent_ = 0;
  empty_answers_ = 0;
  step_ = Step::kArmed;
  return true;
}

Status TableSender::Fail(Status status) {
  step_ = Step::kOver;
  return status;
}

bool TableSender::ReceiveFirstByte(uint8_t* first) {
  if (transport_.Receive() && transport_.TakeByte(first)) {
    empty_answers_ = 0;
    return true;
  }
  ++empty_answers_;
  return false;
}

bool TableSender::ReadAck() {
  uint8_t answer = 0;
  return ReceiveFirstByte(&answer) && answer == kAck;
}

Status TableSender::SendEchoedByte(uint8_t value) {
  if (!Sent(transport_.SendByte(value))) return Status::kSendFailed;
  uint8_t echo = 0;
  // An answer with no byte is no echo: stale bytes of an earlier answer
  // never pass for one.
  if (!ReceiveFirstByte(&echo)) return Status::kNoAnswer;
  return echo == value ? Status::kOk : Status::kWrongEcho;
}

Status TableSender::SendHosei() {
  if (step_ != Step::kArmed) return Status::kOutOfOrder;
  // Always judged: when the command line did not go out, no load started.
  if (!transport_.SendCommand(kLoadCommand)) return Fail(Status::kSendFailed);
  step_ = Step::kHoseiSent;
  return Status::kOk;
}

Status TableSender::SendHeader() {
  if (step_ != Step::kHoseiSent) return Status::kOutOfOrder;
  ReadAck();  // the answer to "HOSEI", not judged
  for (std::size_t i = 0; i < kHeaderBytes; ++i) {
    const Status echoed = SendEchoedByte(*cursor_++);
    if (echoed != Status::kOk) return Fail(echoed);  // the rest of the header is not sent
  }
  if (!Sent(transport_.SendByte(kAck))) return Fail(Status::kSendFailed);
  uint8_t answer = 0;
  if (!ReceiveFirstByte(&answer)) return Fail(Status::kNoAnswer);
  if (answer != kAck) return Fail(Status::kRefused);
  if (!Sent(transport_.SendByte(kAck))) return Fail(Status::kSendFailed);
  step_ = Step::kRecords;
  return Status::kOk;
}

Status TableSender::SendRecord() {
  // After the last record the cursor stands on the trailer: another record
  // would be read from past the table.
  if (step_ != Step::kRecords || sent_ >= records_) return Status::kOutOfOrder;
  ReadAck();  // the answer before each record, not judged
  if (MeterHung()) return Fail(Status::kNoAnswer);
  if (!Sent(transport_.SendBlock(cursor_, kRecordBytes))) return Fail(Status::kSendFailed);
  cursor_ += kRecordBytes;
  ++sent_;
  return sent_ == records_ ? Status::kRecordsDone : Status::kOk;
}

Status TableSender::SendTrailer() {
  // Only after the last record does the cursor stand on the trailer.
  if (step_ != Step::kRecords || sent_ != records_) return Status::kOutOfOrder;
  step_ = Step::kOver;
  ReadAck();  // the answer to the last record, not judged
  if (MeterHung()) return Status::kNoAnswer;
  if (!Sent(transport_.SendBlock(cursor_, kTrailerBytes))) return Status::kSendFailed;
  cursor_ += kTrailerBytes;
  uint8_t answer = 0;
  if (!ReceiveFirstByte(&answer)) return Status::kNoAnswer;
  return answer == kAck ? Status::kDone : Status::kRefused;
}

}  // namespace loadproto
