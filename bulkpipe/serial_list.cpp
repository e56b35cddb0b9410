#include "serial_list.h"

#include <cstring>

namespace bulkpipe {

void MakeSerialEntry(const StringDescriptor* serial, char (&entry)[kSerialEntryLength + 1]) {
  if (serial == nullptr) {
    std::memcpy(entry, kUnreadableSerial, sizeof entry);
    return;
  }
  const size_t units = serial->UnitCount();
  bool ended = false;
  for (size_t i = 0; i < kSerialEntryLength; ++i) {
    const uint16_t unit = i < units ? serial->Unit(i) : 0;
    if (unit == 0) ended = true;
    if (ended) {
      entry[i] = kSerialPadding;
    } else {
      const auto low = static_cast<char>(unit & 0xFF);
      entry[i] = low != '\0' ? low : kSerialZeroLowByte;
    }
  }
  entry[kSerialEntryLength] = '\0';
}

void SerialList::Start(char* buffer) {
  buffer_ = buffer;
  length_ = 0;
  if (buffer_ != nullptr) buffer_[0] = '\0';
}

void SerialList::Append(const char (&entry)[kSerialEntryLength + 1]) {
  if (buffer_ == nullptr) return;
  if (length_ != 0) buffer_[length_++] = ',';
  std::memcpy(buffer_ + length_, entry, kSerialEntryLength);
  length_ += kSerialEntryLength;
  buffer_[length_] = '\0';
}

}  // namespace bulkpipe
