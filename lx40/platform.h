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
// would no longer be one append).
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  // Appends `bytes` in one write and flushes them to disk. False with
  // `error` set when they were not written whole. One call at a time.
  virtual bool Append(std::string_view bytes, std::string* error) = 0;
};

// Opens `path` for appending, creating it if needed. Null with `error` set
// (the system's words) when it cannot be opened.
std::unique_ptr<AppendFile> OpenAppendFile(const std::string& path, std::string* error);

// --- Ctrl+C (interrupts.cpp) ------------------------------------------------

// From now on `on_interrupt` runs at each Ctrl+C, and the process goes on.
// POSIX: SIGINT. Windows: the console's Ctrl+C and Ctrl+Break. It may run
// in a signal handler: it must be async-signal-safe.
void WatchInterrupts(void (*on_interrupt)());

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
