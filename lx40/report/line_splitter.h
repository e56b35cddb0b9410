// The lines of a record file, read as a stream through one fixed-size
// buffer: memory does not grow with the file. A line ends at LF (a CR
// before it is dropped); a line longer than the cap is skipped whole and
// reported as too long, and the buffer never grows for it.
#ifndef LX40_LX40_REPORT_LINE_SPLITTER_H
#define LX40_LX40_REPORT_LINE_SPLITTER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace lx40::records {

// Where the bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to `size` bytes into `into`; 0 at the end (for now: a file that
  // another process appends to may have more later).
  virtual size_t Read(char* into, size_t size) = 0;
  // True when the end came from a read error rather than the file's end.
  virtual bool Failed() const { return false; }
};

// A C stream, opened by the caller in binary mode. With `follow`, a read
// after the end sees what was appended since (the file must be seekable).
class FileSource final : public ByteSource {
 public:
  explicit FileSource(std::FILE* file, bool follow = false) : file_(file), follow_(follow) {}
  size_t Read(char* into, size_t size) override;
  bool Failed() const override { return failed_; }

 private:
  std::FILE* file_;
  const bool follow_;
  bool failed_ = false;
};

// Bytes in memory (tests, fuzzing).
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  size_t Read(char* into, size_t size) override;

 private:
  std::string_view bytes_;
};

class LineSplitter {
 public:
  static constexpr size_t kDefaultBufferSize = size_t{1} << 20;
  static constexpr size_t kDefaultMaxLine = size_t{256} << 10;

  enum class Kind { kLine, kTooLong, kEnd };

  // `max_line` (bytes, line end excluded) is at most `buffer_size` - 2.
  explicit LineSplitter(ByteSource& source, size_t buffer_size = kDefaultBufferSize,
                        size_t max_line = kDefaultMaxLine);

  // The next line. kLine: `line` holds its bytes without the line end, in
  // the splitter's buffer, writable and followed by a NUL byte, valid until
  // the next call. kTooLong: a line over the cap was skipped. kEnd: no more
  // bytes for now.
  Kind Next(std::string_view* line);

  // The number (from 1) of the line Next returned last.
  uint64_t LineNumber() const { return line_number_; }

  // With `hold`, a last line without its LF is not returned at the end: its
  // writer may not have finished it. Resume() after a kEnd reads on from
  // there when the source has more.
  void HoldUnfinishedLine(bool hold) { hold_unfinished_ = hold; }
  void Resume() { at_end_ = false; }

 private:
  bool Fill();

  ByteSource& source_;
  std::vector<char> buffer_;
  const size_t max_line_;
  size_t begin_ = 0;  // first byte of the current line
  size_t scan_ = 0;   // where the search for its LF goes on
  size_t end_ = 0;    // end of the bytes read
  bool at_end_ = false;
  bool skipping_ = false;  // inside a line over the cap
  bool hold_unfinished_ = false;
  uint64_t line_number_ = 0;
};

}  // namespace lx40::records

#endif
