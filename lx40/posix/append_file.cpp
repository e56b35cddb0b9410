// The record file's append on POSIX systems: O_APPEND and one write(), then
// fsync().
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform.h"

namespace lx40::platform {

namespace {

class PosixAppendFile final : public AppendFile {
 public:
  explicit PosixAppendFile(int fd) : fd_(fd) {}
  ~PosixAppendFile() override { ::close(fd_); }
  PosixAppendFile(const PosixAppendFile&) = delete;
  PosixAppendFile& operator=(const PosixAppendFile&) = delete;

  bool Append(std::string_view bytes, std::string* error) override {
    ssize_t written;
    do {
      written = ::write(fd_, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
      *error = std::strerror(errno);
      return false;
    }
    if (static_cast<size_t>(written) != bytes.size()) {
      *error = "only part of the record line was written (disk full?)";
      return false;
    }
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
};

}  // namespace

std::unique_ptr<AppendFile> OpenAppendFile(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<PosixAppendFile>(fd);
}

}  // namespace lx40::platform
