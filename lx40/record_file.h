// The record file: JSON Lines, appended to by any number of lx40 runs, at
// the same time too. Each line goes out whole in one append and reaches the
// disk before Append returns, so a line is never torn or interleaved with
// another process's line (how each system does it: platform.h, AppendFile).
// A file that ends in a fragment (a line an earlier run could not finish)
// gets a line feed before the next line, in the same write, so the fragment
// never swallows a good line; readers skip the blank lines this may leave.
// A line stays shorter than PIPE_BUF (4096 bytes), so an append to a pipe
// stays whole too.
#ifndef LX40_LX40_RECORD_FILE_H
#define LX40_LX40_RECORD_FILE_H

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform.h"

namespace lx40 {

class RecordFile {
 public:
  // Opens (creating it if needed) the file for appending. Null with
  // `error` set when it cannot be opened.
  static std::unique_ptr<RecordFile> Open(const std::string& path, std::string* error);
  // Open() for a command's --record FILE: says why it cannot on stderr.
  // False when the file cannot be opened; an empty path opens nothing.
  static bool OpenForCommand(const std::string& path, std::unique_ptr<RecordFile>* file);
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // The longest line appended, its line feed and a repairing one included.
  static constexpr size_t kMaxLineBytes = 4095;

  // Appends one line (with its line feed) and flushes it to disk. Safe to
  // call from several threads. False with `error` set when the line could
  // not be written whole, or is longer than kMaxLineBytes.
  bool Append(std::string_view line, std::string* error);

  const std::string& Path() const { return path_; }

 private:
  RecordFile(std::string path, std::unique_ptr<platform::AppendFile> file)
      : path_(std::move(path)), file_(std::move(file)) {}

  const std::string path_;
  const std::unique_ptr<platform::AppendFile> file_;
  std::mutex mutex_;  // the workers' lines go out one at a time
};

}  // namespace lx40

#endif
