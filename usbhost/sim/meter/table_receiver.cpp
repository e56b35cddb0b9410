#include "meter/table_receiver.h"

#include "meter/meter_config.h"
#include "meter/meter_crc.h"
#include "meter/meter_text.h"

namespace usbsim {

void TableReceiver::Start(const LoadFaults& faults) {
  faults_ = faults;
  table_.clear();
  body_end_ = 0;
  phase_ = Phase::kHeader;
}

void TableReceiver::Abort() {
  phase_ = Phase::kIdle;
  table_.clear();
  table_.shrink_to_fit();
  body_end_ = 0;
}

uint16_t TableReceiver::HeaderField(size_t offset) const {
  return static_cast<uint16_t>((table_[offset] << 8) | table_[offset + 1]);
}

std::optional<ReceivedTable> TableReceiver::Feed(uint8_t byte, std::string& answer) {
  switch (phase_) {
    case Phase::kIdle:
      return std::nullopt;

    case Phase::kHeader: {
      const bool wrong = static_cast<int>(table_.size()) == faults_.wrong_echo_at;
      table_.push_back(byte);
      answer.push_back(static_cast<char>(wrong ? static_cast<uint8_t>(~byte) : byte));
      if (table_.size() == kHeaderSize) phase_ = Phase::kHeaderAck;
      return std::nullopt;
    }

    case Phase::kHeaderAck: {
      // A record count no 16-bit table size can hold is refused here, before
      // any record is buffered; every other header check waits for the trailer.
      const size_t records = HeaderField(2);
      if (byte != kAck || faults_.nak_header || records > kMaxRecords) {
        answer.push_back(static_cast<char>(kNak));
        Abort();
        return std::nullopt;
      }
      body_end_ = kHeaderSize + records * kRecordSize;
      table_.reserve(body_end_ + kTrailerSize);
      answer.push_back(static_cast<char>(kAck));
      phase_ = Phase::kStartAck;
      return std::nullopt;
    }

    case Phase::kStartAck:
      if (byte != kAck) {
        answer.push_back(static_cast<char>(kNak));
        Abort();
        return std::nullopt;
      }
      answer.push_back(static_cast<char>(kAck));  // the go-ahead for record 1
      phase_ = body_end_ > kHeaderSize ? Phase::kRecords : Phase::kTrailer;
      return std::nullopt;

    case Phase::kRecords:
      table_.push_back(byte);
      if ((table_.size() - kHeaderSize) % kRecordSize == 0) {
        answer.push_back(static_cast<char>(kAck));
        if (table_.size() == body_end_) phase_ = Phase::kTrailer;
      }
      return std::nullopt;

    case Phase::kTrailer:
      table_.push_back(byte);
      if (table_.size() < body_end_ + kTrailerSize) return std::nullopt;
      return JudgeTrailer(answer);
  }
  return std::nullopt;
}

std::optional<ReceivedTable> TableReceiver::JudgeTrailer(std::string& answer) {
  const size_t size = table_.size();
  const uint16_t total_size = HeaderField(0);
  const uint16_t records = HeaderField(2);
  const uint16_t slot = HeaderField(4);
  const uint16_t trailer = HeaderField(body_end_);
  const bool good = !faults_.nak_trailer && records >= 1 && slot < kMeterSlotCount &&
                    static_cast<size_t>(total_size) == size &&
                    MeterCrc(table_.data(), body_end_) == trailer;

  std::optional<ReceivedTable> accepted;
  if (good) {
    accepted = ReceivedTable{slot, std::move(table_)};
  }
  answer.push_back(static_cast<char>(good ? kAck : kNak));
  Abort();
  return accepted;
}

}  // namespace usbsim
