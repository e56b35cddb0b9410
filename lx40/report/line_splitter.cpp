#include "line_splitter.h"

#include <algorithm>
#include <cstring>

#include "file_position.h"

namespace lx40::records {

size_t FileSource::Read(char* into, size_t size) {
  const size_t got = std::fread(into, 1, size, file_);
  if (got == 0) {
    failed_ = std::ferror(file_) != 0;
    std::clearerr(file_);
    // The end for now: a later read sees what was appended since.
    if (follow_ && !failed_) failed_ = !platform::ReadOnAfterEnd(file_);
  }
  return got;
}

size_t MemorySource::Read(char* into, size_t size) {
  const size_t got = std::min(size, bytes_.size());
  std::memcpy(into, bytes_.data(), got);
  bytes_.remove_prefix(got);
  return got;
}

LineSplitter::LineSplitter(ByteSource& source, size_t buffer_size, size_t max_line)
    : source_(source),
      buffer_(std::max(buffer_size, size_t{3}) + 1),
      // An unfinished line of up to the cap and a CR leaves room to read.
      max_line_(std::min(max_line, std::max(buffer_size, size_t{3}) - 2)) {}

bool LineSplitter::Fill() {
  if (at_end_) return false;
  // The unfinished line to the front, then read behind it.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    scan_ -= begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  const size_t room = buffer_.size() - 1 - end_;
  const size_t got = room == 0 ? 0 : source_.Read(buffer_.data() + end_, room);
  if (got == 0) {
    at_end_ = true;
    return false;
  }
  end_ += got;
  return true;
}

LineSplitter::Kind LineSplitter::Next(std::string_view* line) {
  for (;;) {
    char* const base = buffer_.data();
    const void* found = scan_ < end_ ? std::memchr(base + scan_, '\n', end_ - scan_) : nullptr;
    if (found != nullptr) {
      const size_t lf = static_cast<size_t>(static_cast<const char*>(found) - base);
      const size_t start = begin_;
      begin_ = scan_ = lf + 1;
      ++line_number_;
      if (skipping_ || lf - start > max_line_ + 1) {
        skipping_ = false;
        return Kind::kTooLong;
      }
      size_t stop = lf;
      if (stop > start && base[stop - 1] == '\r') --stop;
      if (stop - start > max_line_) return Kind::kTooLong;
      base[stop] = '\0';
      *line = std::string_view(base + start, stop - start);
      return Kind::kLine;
    }
    scan_ = end_;
    // No line end yet: a line over the cap is dropped as it comes in.
    if (skipping_ || end_ - begin_ > max_line_ + 1) {
      skipping_ = true;
      begin_ = scan_ = end_ = 0;
    }
    if (Fill()) continue;
    // The end (for now).
    if (hold_unfinished_) return Kind::kEnd;
    if (skipping_) {
      skipping_ = false;
      ++line_number_;
      return Kind::kTooLong;
    }
    if (begin_ == end_) return Kind::kEnd;
    const size_t start = begin_;
    size_t stop = end_;
    begin_ = scan_ = end_;
    ++line_number_;
    if (stop > start && base[stop - 1] == '\r') --stop;
    base[stop] = '\0';
    *line = std::string_view(base + start, stop - start);
    return Kind::kLine;
  }
}

}  // namespace lx40::records
