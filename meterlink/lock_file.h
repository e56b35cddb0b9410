// The operating system's part of the meter lock (meter_lock.h): a lock file
// held exclusively, without waiting. Each system has its own file
// (posix/lock_file.cpp, win32/lock_file.cpp), picked by the build. Internal
// to the library.
//   POSIX: flock() on the file, opened read-only without following a
//   symbolic link; a missing one is made with O_EXCL and given mode 0666
//   whatever the umask, so every user can take it after.
//   Windows: the file opened with no sharing (FILE_FLAG_DELETE_ON_CLOSE), so
//   a second open, here or in another program, fails while it is open; any
//   thread may release it.
#ifndef LX40_METERLINK_LOCK_FILE_H
#define LX40_METERLINK_LOCK_FILE_H

#include <cstdint>
#include <string>

namespace meterlink::lock_file {

// A held lock file: a file descriptor or a Windows HANDLE; kNone for none.
inline constexpr intptr_t kNone = -1;

// The system's folder for temporary files, without a trailing separator.
std::string TempFolder();

// The separator between a folder and a file name in a path.
char PathSeparator();

// This process's id.
long ProcessId();

// Takes the lock file at `path` without waiting: the held file, or kNone.
// kNone with `failure` left empty: another holder has it. kNone with
// `failure` set: the file could not be opened or made ("<path>: <the
// system's reason>").
intptr_t TryLock(const std::string& path, std::string& failure);

// Releases a lock taken by TryLock. `remove`: the file goes too (on Windows
// it goes with its last handle anyway).
void Unlock(intptr_t held, const std::string& path, bool remove);

}  // namespace meterlink::lock_file

#endif
