#include "ansi_text.h"

#include "usb_records.h"

namespace bulkpipe {

ByteBuffer AnsiFromUtf16(const uint8_t* bytes, size_t byte_count) {
  const size_t unit_room = byte_count / 2;
  size_t units = 0;
  while (units < unit_room && ReadLe16(bytes + 2 * units) != 0) ++units;
  if (units == 0) return ByteBuffer();

  ByteBuffer text = ByteBuffer::Zeroed(units + 1);
  if (!text.ok()) return text;
  for (size_t i = 0; i < units; ++i) {
    const uint16_t unit = ReadLe16(bytes + 2 * i);
    text.chars()[i] = unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return text;  // zero-filled, so already terminated
}

}  // namespace bulkpipe
