#include "record_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace lx40 {

namespace {

#ifdef _WIN32
// A mutex named after the file's full path (case folded, as Windows paths
// are), so lx40 runs on this PC append one after the other. Windows already
// appends atomically through an append-only handle; Wine computes the end
// of the file and then writes, which two processes can interleave.
HANDLE OpenAppendMutex(const std::string& path) {
  char full[MAX_PATH * 2] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  std::string name = (length > 0 && length < sizeof full) ? std::string(full, length) : path;
  uint64_t hash = 1469598103934665603ull;  // FNV-1a over the folded path
  for (const char c : name) {
    const char folded = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    hash = (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ull;
  }
  char mutex_name[64];
  std::snprintf(mutex_name, sizeof mutex_name, "Local\\lx40-record-%016llx",
                static_cast<unsigned long long>(hash));
  return CreateMutexA(nullptr, FALSE, mutex_name);
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "Windows error " + std::to_string(code) : message;
}
#endif

}  // namespace

std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, std::string* error) {
#ifdef _WIN32
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end
  // of the file as it is at that moment, in one piece.
  const HANDLE handle =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return nullptr;
  }
  const HANDLE mutex = OpenAppendMutex(path);
  if (mutex == nullptr) {
    *error = LastErrorText();
    CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<RecordFile>(
      new RecordFile(path, reinterpret_cast<intptr_t>(handle), reinterpret_cast<intptr_t>(mutex)));
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<RecordFile>(new RecordFile(path, fd));
#endif
}

RecordFile::~RecordFile() {
#ifdef _WIN32
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(append_mutex_));
#else
  ::close(static_cast<int>(handle_));
#endif
}

bool RecordFile::Append(std::string_view line, std::string* error) {
  std::lock_guard lock(mutex_);
#ifdef _WIN32
  if (line.size() > std::numeric_limits<DWORD>::max()) {
    *error = "record line too long";
    return false;
  }
  const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
  const HANDLE mutex = reinterpret_cast<HANDLE>(append_mutex_);
  // A run that ended while holding the mutex leaves it abandoned: still ours.
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    *error = LastErrorText();
    return false;
  }
  DWORD written = 0;
  const BOOL wrote =
      WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  const BOOL flushed = wrote && FlushFileBuffers(handle);
  const DWORD failure = (wrote && flushed) ? ERROR_SUCCESS : GetLastError();
  ReleaseMutex(mutex);
  if (!wrote || !flushed) {
    SetLastError(failure);
    *error = LastErrorText();
    return false;
  }
  if (written != line.size()) {
    *error = "only part of the record line was written";
    return false;
  }
  return true;
#else
  const int fd = static_cast<int>(handle_);
  ssize_t written;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    *error = std::strerror(errno);
    return false;
  }
  // A second write would no longer be one append: a short write (a full
  // disk) is reported, not completed.
  if (static_cast<size_t>(written) != line.size()) {
    *error = "only part of the record line was written (disk full?)";
    return false;
  }
  int synced;
  do {
    synced = ::fsync(fd);
  } while (synced != 0 && errno == EINTR);
  if (synced != 0) {
    *error = std::strerror(errno);
    return false;
  }
  return true;
#endif
}

}  // namespace lx40
