#include "http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace lx40test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<int64_t>(0, left.count()));
}

}  // namespace

HttpConnection::HttpConnection(uint16_t port, int receive_buffer) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ < 0) return;
  if (receive_buffer > 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

HttpConnection::~HttpConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool HttpConnection::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool HttpConnection::ReadToClose(std::chrono::milliseconds limit, std::string* text) {
  const bool closed = ClosedWithin(limit);
  *text = received_;
  return closed;
}

int CountOf(const std::string& text, const std::string& wanted) {
  int count = 0;
  for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) {
    ++count;
  }
  return count;
}

bool HttpConnection::ReadUntilCount(const std::string& wanted, int count,
                                    std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  char buffer[4096];
  while (CountOf(received_, wanted) < count) {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) return false;
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return CountOf(received_, wanted) >= count;
    received_.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

bool HttpConnection::ClosedWithin(std::chrono::milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  char buffer[4096];
  for (;;) {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) return false;
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    received_.append(buffer, static_cast<size_t>(n));
  }
}

HttpReply ParseReply(const std::string& text) {
  HttpReply reply;
  const size_t end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return reply;
  reply.status = std::atoi(text.c_str() + 9);
  size_t line = text.find("\r\n") + 2;
  while (line < end) {
    const size_t next = text.find("\r\n", line);
    const std::string header = text.substr(line, next - line);
    const size_t colon = header.find(':');
    if (colon != std::string::npos) {
      std::string name = header.substr(0, colon);
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      size_t value = colon + 1;
      while (value < header.size() && header[value] == ' ') ++value;
      reply.headers[name] = header.substr(value);
    }
    line = next + 2;
  }
  reply.body = text.substr(end + 4);
  return reply;
}

HttpReply Request(uint16_t port, const std::string& method, const std::string& path,
                  const std::string& extra_headers, std::chrono::milliseconds limit) {
  HttpConnection connection(port);
  if (!connection.Connected()) return {};
  if (!connection.Send(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra_headers +
                       "\r\n")) {
    return {};
  }
  std::string text;
  if (!connection.ReadToClose(limit, &text)) return {};
  return ParseReply(text);
}

std::vector<SseMessage> SseMessages(const std::string& body) {
  std::vector<SseMessage> messages;
  size_t start = 0;
  for (;;) {
    const size_t end = body.find("\n\n", start);
    if (end == std::string::npos) break;
    SseMessage message;
    bool has_data = false;
    size_t line = start;
    while (line < end) {
      size_t next = body.find('\n', line);
      if (next == std::string::npos || next > end) next = end;
      const std::string field = body.substr(line, next - line);
      if (field.rfind("id: ", 0) == 0) message.id = std::strtoull(field.c_str() + 4, nullptr, 10);
      if (field.rfind("data: ", 0) == 0) {
        message.data = field.substr(6);
        has_data = true;
      }
      line = next + 1;
    }
    if (has_data) messages.push_back(message);
    start = end + 2;
  }
  return messages;
}

}  // namespace lx40test
