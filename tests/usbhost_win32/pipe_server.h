// A named pipe that stands in for a meter's bulk pipe: the test holds the
// server end and decides whether, and when, the other end gets data.
#ifndef LX40_TESTS_USBHOST_WIN32_PIPE_SERVER_H
#define LX40_TESTS_USBHOST_WIN32_PIPE_SERVER_H

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "usbhost.h"

class PipeServer {
 public:
  // buffer_size is the pipe's own buffer in each direction; a small one
  // makes a large write wait for a reader that never comes.
  explicit PipeServer(DWORD buffer_size = 4096) : name_(unique_name()) {
    server_ = CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX,
                               PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 2, buffer_size,
                               buffer_size, 0, nullptr);
  }
  ~PipeServer() {
    if (server_ != INVALID_HANDLE_VALUE) {
      CloseHandle(server_);
    }
  }
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  bool ok() const { return server_ != INVALID_HANDLE_VALUE; }
  const std::string& name() const { return name_; }
  HANDLE server() const { return server_; }

  // The client end, opened the way Bulkpipe opens a pipe.
  usbhost_handle open_client() const {
    return usbhost_open(name_.c_str(), USBHOST_GENERIC_READ | USBHOST_GENERIC_WRITE,
                        USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE);
  }

  bool send(const std::string& bytes) const {
    DWORD written = 0;
    return WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
  }

  std::string receive(DWORD max) const {
    std::string bytes(max, '\0');
    DWORD got = 0;
    if (!ReadFile(server_, bytes.data(), max, &got, nullptr)) {
      return {};
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  static std::string unique_name() {
    static std::atomic<int> counter{0};
    return "\\\\.\\pipe\\lx40-usbhost-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(counter++);
  }

  std::string name_;
  HANDLE server_ = INVALID_HANDLE_VALUE;
};

#endif
