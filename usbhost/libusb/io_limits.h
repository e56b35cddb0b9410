// Time limits of the bulk transfers on a meter's pipes, the same bounds as
// the Windows layer keeps (usbhost/win32/io_limits.h).
#ifndef LX40_USBHOST_LIBUSB_IO_LIMITS_H
#define LX40_USBHOST_LIBUSB_IO_LIMITS_H

namespace usbhost_libusb {

// A read on an idle reply pipe ends with success and no bytes after 2 s:
// that is how the caller learns a meter has nothing (more) to say.
inline constexpr unsigned kIdleReadMs = 2000;

// Once a read has returned part of an answer, the rest follows at once; a
// meter that does not end its answer with a zero-length packet would make
// every answer's closing read wait the whole idle bound. After a read that
// returned data, a read that gets nothing within this bound ends the answer.
inline constexpr unsigned kAnswerGapMs = 50;

// A command frame (about 100 bytes) is taken at once; a write still pending
// after 2 s belongs to a meter that no longer drains its command pipe.
inline constexpr unsigned kWriteLimitMs = 2000;

}  // namespace usbhost_libusb

#endif
