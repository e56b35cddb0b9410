// The operating system's part of the meter lock (meter_lock.h): a lock file
// held exclusively, without waiting. Each system has its own file
// (posix/lock_file.cpp, win32/lock_file.cpp), picked by the build. Internal
// to the library.
//   POSIX: flock() on the file, opened read-only without following a
//   symbolic link; a missing one is made with O_EXCL and given mode 0666
//   whatever the umask, so every user can take it after.
//   Windows: the file opened read-only with no sharing, so a second open,
//   here or in another program of any user or session, fails while it is
//   open; any thread may release it. The default folder is one for the
//   whole PC, %ProgramData%\LX40\locks, made with an access list that lets
//   every user make lock files there and open those of others.
#ifndef LX40_METERLINK_LOCK_FILE_H
#define LX40_METERLINK_LOCK_FILE_H

#include <cstdint>
#include <string>

namespace meterlink::lock_file {

// A held lock file: a file descriptor or a Windows HANDLE; kNone for none.
inline constexpr intptr_t kNone = -1;

// The folder for lock files unless LX40_METER_LOCK_DIR names one, without a
// trailing separator: the temp folder on POSIX, the machine-wide folder on
// Windows ("" when the environment does not say where that is).
std::string DefaultFolder();

// Makes the default folder when it is missing (on Windows with its access
// list; on POSIX the temp folder is there). false, with `failure` saying
// which folder and why, when it is neither there nor could be made.
bool MakeDefaultFolder(std::string& failure);

// The separator between a folder and a file name in a path.
char PathSeparator();

// This process's id.
long ProcessId();

// Takes the lock file at `path` without waiting: the held file, or kNone.
// kNone with `failure` left empty: another holder has it. kNone with
// `failure` set: the file could not be opened or made ("<path>: <the
// system's reason>").
intptr_t TryLock(const std::string& path, std::string& failure);

// Releases a lock taken by TryLock. `remove`: the file goes too (only for a
// file no other program opens).
void Unlock(intptr_t held, const std::string& path, bool remove);

}  // namespace meterlink::lock_file

#endif
