// The comma-separated list of meter serial numbers written into the
// caller's buffer, and the fixed-width entry each meter contributes.
#ifndef LX40_BULKPIPE_SERIAL_LIST_H
#define LX40_BULKPIPE_SERIAL_LIST_H

#include <cstddef>

#include "descriptor_reads.h"

namespace bulkpipe {

// Every entry is exactly this many characters, so that callers can rely on
// 10 bytes per meter (entry and separator or terminator).
inline constexpr size_t kSerialEntryLength = 9;

// Stands in the places of a serial number shorter than the entry: after its
// last unit, or from a NUL unit on (some devices terminate their strings).
inline constexpr char kSerialPadding = ' ';
// Stands for a unit whose low byte is 0 before the text ends: a zero byte
// would end the caller's text there and hide every later entry.
inline constexpr char kSerialZeroLowByte = '?';
// The entry of a meter whose serial-number string could not be read in any
// language (or whose language list is empty): it is still counted.
inline constexpr char kUnreadableSerial[kSerialEntryLength + 1] = "?????????";

// The entry for a meter: the low bytes of the first 9 UTF-16 units of the
// serial-number string, padded as above; kUnreadableSerial without one.
void MakeSerialEntry(const StringDescriptor* serial, char (&entry)[kSerialEntryLength + 1]);

class SerialList {
 public:
  // Starts an empty text in `buffer`; null collects nothing.
  void Start(char* buffer);
  bool collecting() const { return buffer_ != nullptr; }
  // Appends "," (unless the list is empty) and the entry, then the terminator.
  void Append(const char (&entry)[kSerialEntryLength + 1]);

 private:
  char* buffer_ = nullptr;
  size_t length_ = 0;
};

}  // namespace bulkpipe

#endif
