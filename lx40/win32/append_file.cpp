// The record file's append on Windows: a handle with only FILE_APPEND_DATA
// access, one WriteFile, then FlushFileBuffers, taking turns with the other
// lx40 runs on this PC through a mutex named after the file. The last byte
// is read through a second, read-only handle (the append-only one cannot
// read); a record that is not a file on a disk (a pipe, the console) takes
// the write without the flush.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform.h"

namespace lx40::platform {

namespace {

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

class Win32AppendFile final : public AppendFile {
 public:
  // `reader`: INVALID_HANDLE_VALUE when the file cannot be read.
  Win32AppendFile(HANDLE file, HANDLE reader, HANDLE mutex, bool on_disk)
      : file_(file), reader_(reader), mutex_(mutex), on_disk_(on_disk) {}
  ~Win32AppendFile() override {
    CloseHandle(file_);
    if (reader_ != INVALID_HANDLE_VALUE) CloseHandle(reader_);
    CloseHandle(mutex_);
  }

  bool EndsInLineFeed() override {
    if (reader_ == INVALID_HANDLE_VALUE) return true;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(reader_, &size) || size.QuadPart == 0) return true;
    LARGE_INTEGER last{};
    last.QuadPart = size.QuadPart - 1;
    if (!SetFilePointerEx(reader_, last, nullptr, FILE_BEGIN)) return true;
    char byte = '\n';
    DWORD got = 0;
    return !ReadFile(reader_, &byte, 1, &got, nullptr) || got != 1 || byte == '\n';
  }
  Win32AppendFile(const Win32AppendFile&) = delete;
  Win32AppendFile& operator=(const Win32AppendFile&) = delete;

  bool Append(std::string_view bytes, std::string* error) override {
    if (bytes.size() > std::numeric_limits<DWORD>::max()) {
      *error = "record line too long";
      return false;
    }
    // A run that ended while holding the mutex leaves it abandoned: still
    // ours.
    const DWORD waited = WaitForSingleObject(mutex_, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      *error = LastErrorText();
      return false;
    }
    DWORD written = 0;
    const BOOL wrote =
        WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    // Only a file on a disk can be flushed to it.
    const BOOL flushed = wrote && (!on_disk_ || FlushFileBuffers(file_));
    const DWORD failure = (wrote && flushed) ? ERROR_SUCCESS : GetLastError();
    ReleaseMutex(mutex_);
    if (!wrote || !flushed) {
      SetLastError(failure);
      *error = LastErrorText();
      return false;
    }
    if (written != bytes.size()) {
      *error = "only part of the record line was written";
      return false;
    }
    return true;
  }

 private:
  const HANDLE file_;
  const HANDLE reader_;
  const HANDLE mutex_;
  const bool on_disk_;
};

}  // namespace

std::unique_ptr<AppendFile> OpenAppendFile(const std::string& path, std::string* error) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end
  // of the file as it is at that moment, in one piece.
  const HANDLE file =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = LastErrorText();
    return nullptr;
  }
  const HANDLE mutex = OpenAppendMutex(path);
  if (mutex == nullptr) {
    *error = LastErrorText();
    CloseHandle(file);
    return nullptr;
  }
  const bool on_disk = GetFileType(file) == FILE_TYPE_DISK;
  const HANDLE reader = on_disk
                            ? CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                            : INVALID_HANDLE_VALUE;
  return std::make_unique<Win32AppendFile>(file, reader, mutex, on_disk);
}

}  // namespace lx40::platform
