// A plain HTTP client for the station page's tests: POSIX sockets, every
// wait bounded, nothing parsed beyond the status, the headers and the
// event-stream messages the tests look at.
#ifndef LX40_TESTS_LX40_HTTP_CLIENT_H
#define LX40_TESTS_LX40_HTTP_CLIENT_H

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lx40test {

struct HttpReply {
  int status = 0;                              // 0: no reply (refused, closed, timed out)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  // The header's value; "" when it was not sent.
  std::string Header(const std::string& name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
  }
};

class HttpConnection {
 public:
  // Connects to 127.0.0.1:port; Connected() says whether it did.
  explicit HttpConnection(uint16_t port, int receive_buffer = 0);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  bool Connected() const { return fd_ >= 0; }
  bool Send(const std::string& bytes);
  // Reads until the server closes; false when it did not within `limit`.
  bool ReadToClose(std::chrono::milliseconds limit, std::string* text);
  // Reads until `text` holds `wanted` (or the server closes, or `limit`).
  bool ReadUntil(const std::string& wanted, std::chrono::milliseconds limit) {
    return ReadUntilCount(wanted, 1, limit);
  }
  // Reads until `wanted` is in the text `count` times.
  bool ReadUntilCount(const std::string& wanted, int count, std::chrono::milliseconds limit);
  // True when the server closed the connection within `limit` (bytes it
  // sent first are read and kept).
  bool ClosedWithin(std::chrono::milliseconds limit);
  const std::string& Received() const { return received_; }

 private:
  int fd_ = -1;
  std::string received_;
};

// One request, the reply read to its end.
HttpReply Request(uint16_t port, const std::string& method, const std::string& path,
                  const std::string& extra_headers = "",
                  std::chrono::milliseconds limit = std::chrono::seconds(20));
HttpReply ParseReply(const std::string& text);
// How often `wanted` is in `text`.
int CountOf(const std::string& text, const std::string& wanted);

struct SseMessage {
  uint64_t id = 0;
  std::string data;
};
// The complete messages in an event stream's body (the comments and the
// retry line left out).
std::vector<SseMessage> SseMessages(const std::string& body);

}  // namespace lx40test

#endif
