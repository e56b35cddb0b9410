// The record file's append on POSIX systems: O_APPEND and one write(), then
// fsync() for a regular file. Opened with O_NONBLOCK, so a FIFO nobody
// reads is an error at once (ENXIO), never a hang; a pipe that stays full
// fails the line after a while instead of blocking for ever.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform.h"

namespace lx40::platform {

namespace {

// How long a line waits for room in a pipe whose reader is slow.
constexpr int kPipeWaitMs = 10'000;

class PosixAppendFile final : public AppendFile {
 public:
  // `reader`: a read-only descriptor of the same regular file, to see its
  // last byte (-1 for none: not a regular file, or not readable).
  PosixAppendFile(int fd, int reader, bool regular) : fd_(fd), reader_(reader), regular_(regular) {}
  ~PosixAppendFile() override {
    ::close(fd_);
    if (reader_ >= 0) ::close(reader_);
  }
  PosixAppendFile(const PosixAppendFile&) = delete;
  PosixAppendFile& operator=(const PosixAppendFile&) = delete;

  bool EndsInLineFeed() override {
    if (reader_ < 0) return true;
    struct stat status {};
    if (::fstat(reader_, &status) != 0 || status.st_size == 0) return true;
    char last = '\n';
    ssize_t got;
    do {
      got = ::pread(reader_, &last, 1, status.st_size - 1);
    } while (got < 0 && errno == EINTR);
    return got != 1 || last == '\n';
  }

  bool Append(std::string_view bytes, std::string* error) override {
    ssize_t written;
    for (;;) {
      written = ::write(fd_, bytes.data(), bytes.size());
      if (written >= 0 || errno == EINTR) {
        if (written >= 0) break;
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) break;
      // A full pipe: a write of at most PIPE_BUF bytes goes out whole or
      // not at all, so waiting for room and trying again keeps it whole.
      struct pollfd room {
        fd_, POLLOUT, 0
      };
      int ready;
      do {
        ready = ::poll(&room, 1, kPipeWaitMs);
      } while (ready < 0 && errno == EINTR);
      if (ready == 0) {
        *error = "the reader of the record does not take it (waited " +
                 std::to_string(kPipeWaitMs / 1000) + " s)";
        return false;
      }
    }
    if (written < 0) {
      *error = std::strerror(errno);
      return false;
    }
    if (static_cast<size_t>(written) != bytes.size()) {
      *error = "only part of the record line was written (disk full?)";
      return false;
    }
    // Only a file on a disk can be flushed to it: a pipe, a FIFO or a
    // terminal has taken the line once write() returns.
    if (!regular_) return true;
    int synced;
    do {
      synced = ::fsync(fd_);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) {
      *error = std::strerror(errno);
      return false;
    }
    return true;
  }

 private:
  const int fd_;
  const int reader_;
  const bool regular_;
};

}  // namespace

std::unique_ptr<AppendFile> OpenAppendFile(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    *error = errno == ENXIO ? std::string("a FIFO that nobody reads (") + std::strerror(errno) + ")"
                            : std::strerror(errno);
    return nullptr;
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    *error = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  const bool regular = S_ISREG(status.st_mode);
  // The last byte is read through a descriptor of its own: an append-only
  // one cannot read. A file that cannot be read is appended to as it is.
  const int reader = regular ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
  return std::make_unique<PosixAppendFile>(fd, reader, regular);
}

}  // namespace lx40::platform
