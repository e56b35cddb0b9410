// What the record reader asks of the operating system: one file concern,
// a file in posix/ and win32/ each.
#ifndef LX40_LX40_REPORT_FILE_POSITION_H
#define LX40_LX40_REPORT_FILE_POSITION_H

#include <cstdio>

namespace lx40::records::platform {

// After a read found the end of `file`, makes the next read see what was
// appended since: a seek to the current position, which clears the
// stream's end and the C runtime's own end-of-file mark (the Windows C
// runtime keeps one per file descriptor and reads nothing more until a
// seek), for files over 2 GiB too. False when the seek failed.
bool ReadOnAfterEnd(std::FILE* file);

}  // namespace lx40::records::platform

#endif
