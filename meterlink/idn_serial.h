// The serial number in a meter's "IDN" reply: its third field. Fields are
// separated by ":" or ","; a run of separators counts as one and leading ones
// are skipped ("VANTOR:LX40,,A12345678:1.00" gives "A12345678").
// Internal to the library.
#ifndef LX40_METERLINK_IDN_SERIAL_H
#define LX40_METERLINK_IDN_SERIAL_H

#include <cstddef>

namespace meterlink {

// Copies the serial field of `reply` (read up to its NUL, at most
// kReplyTextSize characters) into `serial`, a buffer of `size` bytes (at
// least 1): cut to size - 1 characters, always NUL-terminated. A reply with
// fewer than three fields gives an empty serial and false.
bool CopyIdnSerial(const char* reply, char* serial, std::size_t size);

}  // namespace meterlink

#endif
