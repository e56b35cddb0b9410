#include "meterlink/idn_serial.h"

#include <cstring>

#include "meterlink/exchange.h"

namespace meterlink {
namespace {

// Maker, model, serial number, version.
constexpr std::size_t kSerialFieldIndex = 2;

bool IsSeparator(char c) { return c == ':' || c == ','; }

}  // namespace

bool CopyIdnSerial(const char* reply, char* serial, std::size_t size) {
  serial[0] = '\0';
  const std::size_t length = strnlen(reply, kReplyTextSize);
  std::size_t pos = 0;
  for (std::size_t field = 0;; ++field) {
    while (pos < length && IsSeparator(reply[pos])) ++pos;
    if (pos == length) return false;
    const std::size_t start = pos;
    while (pos < length && !IsSeparator(reply[pos])) ++pos;
    if (field == kSerialFieldIndex) {
      const std::size_t fieldLength = pos - start;
      const std::size_t copied = fieldLength < size - 1 ? fieldLength : size - 1;
      std::memcpy(serial, reply + start, copied);
      serial[copied] = '\0';
      return true;
    }
  }
}

}  // namespace meterlink
