// The record file: JSON Lines, appended to by any number of lx40 runs, at
// the same time too. Each line goes out whole in one append and reaches the
// disk before Append returns, so a line is never torn or interleaved with
// another process's line (POSIX: O_APPEND and one write, then fsync;
// Windows: a handle with only FILE_APPEND_DATA access, one WriteFile, then
// FlushFileBuffers; the C runtime's append mode seeks and then writes, which
// another process can slip between). On Windows the runs on one PC also take
// turns through a mutex named after the file, which keeps lines whole under
// Wine too.
#ifndef LX40_LX40_RECORD_FILE_H
#define LX40_LX40_RECORD_FILE_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace lx40 {

class RecordFile {
 public:
  // Opens (creating it if needed) the file for appending. Null with
  // `error` set when it cannot be opened.
  static std::unique_ptr<RecordFile> Open(const std::string& path, std::string* error);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Appends one line (with its line feed) and flushes it to disk. Safe to
  // call from several threads. False with `error` set when the line could
  // not be written whole.
  bool Append(std::string_view line, std::string* error);

  const std::string& Path() const { return path_; }

 private:
  RecordFile(std::string path, intptr_t handle, intptr_t append_mutex = 0)
      : path_(std::move(path)), handle_(handle), append_mutex_(append_mutex) {}

  std::string path_;
  intptr_t handle_;                         // a file descriptor, or a Windows HANDLE
  [[maybe_unused]] intptr_t append_mutex_;  // Windows: the named mutex appends take turns on
  std::mutex mutex_;
};

}  // namespace lx40

#endif
