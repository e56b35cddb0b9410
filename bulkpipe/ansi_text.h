// UTF-16 names reported by the USB stack, made into the 8-bit text that
// usbhost_open takes.
#ifndef LX40_BULKPIPE_ANSI_TEXT_H
#define LX40_BULKPIPE_ANSI_TEXT_H

#include <cstddef>
#include <cstdint>

#include "byte_buffer.h"

namespace bulkpipe {

// Converts the little-endian UTF-16 text in bytes[0, byte_count) to a
// NUL-terminated 8-bit text. The text ends at the first NUL unit or at the
// last whole unit inside byte_count, whichever comes first, so a name without
// a terminator is read no further than its bytes. ASCII units (1..0x7F) are
// kept; every other unit, each half of a surrogate pair included, becomes
// '?', as a code page without that character would render it. Hub names are
// ASCII symbolic-link names, so a '?' only makes the later open fail, which
// skips that hub. Not ok() for an empty text or a failed allocation.
ByteBuffer AnsiFromUtf16(const uint8_t* bytes, size_t byte_count);

}  // namespace bulkpipe

#endif
