// The meter lock's file on Windows: opened with no sharing, deleted when its
// last handle closes.
#include "lock_file.h"

#include <windows.h>
#include <process.h>

namespace meterlink::lock_file {

std::string TempFolder() {
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length > MAX_PATH) return ".";
  std::string dir(temp, length);
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

char PathSeparator() { return '\\'; }

long ProcessId() { return static_cast<long>(_getpid()); }

intptr_t TryLock(const std::string& path, std::string& failure) {
  failure.clear();
  // No sharing: a second open, in this program or another, fails while the
  // file is open here. The file goes when the last handle closes.
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Held by another open: the lock is taken. Anything else is a fault.
    if (error != ERROR_SHARING_VIOLATION) {
      failure = path + ": Windows error " + std::to_string(error);
    }
    return kNone;
  }
  return reinterpret_cast<intptr_t>(file);
}

void Unlock(intptr_t held, const std::string& /*path*/, bool /*remove*/) {
  CloseHandle(reinterpret_cast<HANDLE>(held));
}

}  // namespace meterlink::lock_file
