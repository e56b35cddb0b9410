// What lx40 asks of the operating system, behind one small interface. Each
// system has a file per concern of its own, in posix/ and win32/, and the
// build compiles one set; the logic (record_file.cpp, interrupt.cpp,
// station_clock.cpp, progress_display.cpp) holds no system code.
#ifndef LX40_LX40_PLATFORM_H
#define LX40_LX40_PLATFORM_H

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace lx40::platform {

// --- The record file's append (append_file.cpp) ---------------------------

// A file that any number of processes append to at the same time, each
// write going out whole, in one append, and reaching the disk before Append
// returns. POSIX: O_APPEND and one write(), then fsync(). Windows: a handle
// with only FILE_APPEND_DATA access, one WriteFile, then FlushFileBuffers
// (the C runtime's append mode seeks and then writes, which another process
// can slip between); the appends of the lx40 runs on one PC also take turns
// through a mutex named after the file, which keeps lines whole under Wine
// too. A short write is reported, never completed by a second write (that
// would no longer be one append). A record that is not a file on a disk (a
// pipe, a FIFO, a terminal, /dev/stdout) takes the write without the flush,
// which it cannot take, and never blocks for ever: a FIFO that nobody reads
// cannot be opened.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // False when the file holds bytes and the last is not a line feed (a
  // line cut short by an earlier run). True for an empty file, and for
  // anything whose end cannot be read (a pipe, a terminal). The last byte is
  // read through a second handle: an append-only one cannot read.
  virtual bool EndsInLineFeed() = 0;
  // Appends `bytes` in one write and flushes them to disk. False with
  // `error` set when they were not written whole. One call at a time.
  virtual bool Append(std::string_view bytes, std::string* error) = 0;
};

// Opens `path` for appending, creating it if needed. Null with `error` set
// (the system's words) when it cannot be opened.
std::unique_ptr<AppendFile> OpenAppendFile(const std::string& path, std::string* error);

// --- Ctrl+C and the other ways to be stopped (interrupts.cpp) ---------------

// From now on `on_interrupt` runs at each Ctrl+C and `on_end` each time the
// system asks the process to end, and the process goes on. POSIX: SIGINT;
// SIGTERM and SIGHUP. Windows: the console's Ctrl+C and Ctrl+Break; the
// console's close, logoff and shutdown events, and WM_QUERYENDSESSION and
// WM_ENDSESSION at a hidden window (a program that loads user32 gets no
// console event at logoff and shutdown). Both may run in a signal handler:
// they must be async-signal-safe. A closed stdout never ends the process:
// writes to it fail instead (SIGPIPE ignored).
void WatchInterrupts(void (*on_interrupt)(), void (*on_end)());

// The work that an end request stopped is over, its records are written,
// and the process ends with `exit_status`. On Windows the system ends the
// process once the handler of its event returns, a few seconds after the
// event at most: the handler waits for this, up to the time the system
// leaves it, and then ends the process with this status itself.
void StoppedWorkIsOver(int exit_status);

// --- The station's name and clock (host_clock.cpp) --------------------------

// The computer's name ("" when the system does not say).
std::string ComputerName();

// `time` as UTC calendar time; false when the system cannot convert it.
bool UtcCalendarTime(std::time_t time, std::tm* utc);

// `time` as the computer's local calendar time (its time zone, summer time
// included); false when the system cannot convert it.
bool LocalCalendarTime(std::time_t time, std::tm* local);

// --- The console (console.cpp) ----------------------------------------------

// True when `stream` is a terminal whose lines can be rewritten in place
// with escape sequences. POSIX: a tty whose TERM is set and not "dumb".
// Windows: a console, told by GetConsoleMode (isatty is also true for the
// NUL device and some pipes), whose escape sequences are (or could be
// turned) on.
bool CanRewriteInPlace(std::FILE* stream);

}  // namespace lx40::platform

#endif
