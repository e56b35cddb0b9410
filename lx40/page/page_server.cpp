#include "page_server.h"

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <set>
#include <thread>

#include "client_queue.h"
#include "http_request.h"
#include "page_files.h"
#include "page_strings.h"

namespace lx40::page {

namespace {

using asio::ip::tcp;

// Every response says: nothing but the page's own files runs or styles it,
// no type is guessed from the content, nothing is kept in a cache.
constexpr std::string_view kCommonHeaders =
    "Content-Security-Policy: default-src 'self'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Cache-Control: no-store\r\n"
    "Referrer-Policy: no-referrer\r\n";

std::string Response(std::string_view status, std::string_view content_type, std::string_view body,
                     bool head_only, std::string_view extra = {}) {
  std::string text = "HTTP/1.1 ";
  text += status;
  text += "\r\nContent-Type: ";
  text += content_type;
  text += "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  text += kCommonHeaders;
  text += extra;
  text += "Connection: close\r\n\r\n";
  if (!head_only) text += body;
  return text;
}

std::string Plain(std::string_view status, bool head_only = false, std::string_view extra = {}) {
  return Response(status, "text/plain; charset=utf-8", std::string(status) + "\n", head_only,
                  extra);
}

std::optional<uint64_t> EventId(const std::optional<std::string>& text) {
  if (!text || text->empty() || text->size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (const char c : *text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

class Connection;

struct PageServer::Impl {
  Impl(PageFeed& page_feed, ListenAddress where) : feed(page_feed), address(std::move(where)) {}

  void Accept();
  void Flush();
  void Beat();
  void Notify() {
    if (!flush_posted.exchange(true)) {
      asio::post(io, [this] {
        flush_posted = false;
        Flush();
      });
    }
  }
  void Forget(const std::shared_ptr<Connection>& connection);

  asio::io_context io;
  tcp::acceptor acceptor{io};
  asio::steady_timer heartbeat{io};
  asio::steady_timer stop_timer{io};
  PageFeed& feed;
  ListenAddress address;
  std::thread thread;
  std::atomic<bool> flush_posted{false};
  // On the I/O thread only from here on.
  std::set<std::shared_ptr<Connection>> connections;
  uint64_t sent = 0;  // the last event handed to the streams
  bool stopping = false;
};

// One browser's connection: one request, then its response or its event
// stream, then closed.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(PageServer::Impl& server, tcp::socket socket)
      : server_(server), socket_(std::move(socket)), timer_(server.io) {}

  void Begin() {
    Deadline(kRequestTimeout);
    Read();
  }

  bool Streaming() const { return streaming_; }

  // Queues the stream's next events, up to what every stream has had, as
  // far as its queue has room; the rest follows as it is sent. A stream
  // so far behind that the events it needs are no longer kept is dropped:
  // its browser does not read (its page reads the state anew when it
  // comes back).
  void Fill() {
    if (closed_ || !streaming_) return;
    if (after_ < server_.sent && after_ + 1 < server_.feed.OldestId()) {
      Close();
      return;
    }
    for (const NumberedEvent& event :
         server_.feed.EventsAfter(after_, server_.sent, kClientQueueMessages)) {
      if (!queue_.Push(event.message)) break;
      after_ = event.id;
    }
    Write();
  }

  // A comment that keeps the stream alive, when there is room for it.
  void Beat(const std::shared_ptr<const std::string>& comment) {
    if (closed_ || !streaming_) return;
    if (queue_.Push(comment)) Write();
  }

  // The station stops: what is queued goes out, then the connection closes.
  void Finish() {
    finishing_ = true;
    if (!writing_) Close();
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    timer_.cancel();
    server_.Forget(shared_from_this());
  }

 private:
  void Deadline(std::chrono::seconds limit) {
    timer_.expires_after(limit);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (!error) self->Close();
    });
  }

  void Read() {
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const asio::error_code& error, size_t n) {
                              if (error) {
                                self->Close();
                                return;
                              }
                              self->Received(n);
                            });
  }

  void Received(size_t n) {
    // An event stream reads on only to hear the browser go; what it sends
    // is not kept.
    if (streaming_ || answered_) {
      Read();
      return;
    }
    HttpRequest request;
    switch (reader_.Feed(buffer_.data(), n, &request)) {
      case HttpRequestReader::Status::kNeedMore:
        Read();
        return;
      case HttpRequestReader::Status::kTooLarge:
        Answer(Plain("431 Request Header Fields Too Large"));
        return;
      case HttpRequestReader::Status::kBad:
        Answer(Plain("400 Bad Request"));
        return;
      case HttpRequestReader::Status::kComplete:
        Route(request);
        return;
    }
  }

  void Route(const HttpRequest& request) {
    const bool head = request.method == "HEAD";
    if (!head && request.method != "GET") {
      Answer(Plain("405 Method Not Allowed", false, "Allow: GET, HEAD\r\n"));
      return;
    }
    if (request.has_body) {
      Answer(Plain("400 Bad Request", head));
      return;
    }
    if (request.path == "/events") {
      Stream(request, head);
      return;
    }
    if (request.path == "/api/state") {
      Answer(Response("200 OK", "application/json", server_.feed.StateJson(), head));
    } else if (request.path == "/api/strings") {
      Answer(Response("200 OK", "application/json", PageStringsJson(), head));
    } else if (const PageFile* file = FindPageFile(request.path)) {
      Answer(Response("200 OK", file->content_type, file->body, head));
    } else {
      Answer(Plain("404 Not Found", head));
    }
  }

  // The one response, then the connection closes.
  void Answer(std::string text) {
    answered_ = true;
    finishing_ = true;
    Deadline(kResponseTimeout);
    Read();
    queue_ = ClientQueue(SIZE_MAX, SIZE_MAX);
    queue_.Push(std::make_shared<const std::string>(std::move(text)));
    Write();
  }

  void Stream(const HttpRequest& request, bool head) {
    const std::string headers =
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n" +
        std::string(kCommonHeaders) + "Connection: close\r\n\r\n";
    if (head) {
      Answer(headers);
      return;
    }
    answered_ = true;
    streaming_ = true;
    timer_.cancel();
    // Reconnect a second after a loss.
    queue_.Push(std::make_shared<const std::string>(headers + "retry: 1000\n\n"));
    // From the browser's last event on (or the oldest one kept, if it
    // missed more). Without Last-Event-ID, only what comes from now: the
    // page reads /api/state for the present.
    after_ = server_.sent;
    if (const std::optional<uint64_t> last = EventId(request.last_event_id)) {
      const uint64_t oldest = server_.feed.OldestId();
      after_ = std::min(server_.sent, std::max(*last, oldest - 1));
    }
    Read();
    Fill();
  }

  void Write() {
    if (writing_ || closed_) return;
    if (queue_.Empty()) {
      if (finishing_) Close();
      return;
    }
    writing_ = true;
    // The message stays alive in the queue until it is written.
    const std::shared_ptr<const std::string>& message = queue_.Front();
    asio::async_write(socket_, asio::buffer(*message),
                      [self = shared_from_this()](const asio::error_code& error, size_t) {
                        self->writing_ = false;
                        if (error) {
                          self->Close();
                          return;
                        }
                        self->queue_.Pop();
                        // The stream catches up from the kept events as it drains.
                        if (self->streaming_ && self->queue_.Empty()) self->Fill();
                        self->Write();
                      });
  }

  PageServer::Impl& server_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  std::array<char, 2048> buffer_{};
  HttpRequestReader reader_;
  ClientQueue queue_;
  uint64_t after_ = 0;
  bool answered_ = false;
  bool streaming_ = false;
  bool writing_ = false;
  bool finishing_ = false;
  bool closed_ = false;
};

void PageServer::Impl::Accept() {
  acceptor.async_accept([this](const asio::error_code& error, tcp::socket socket) {
    if (error) {
      if (error == asio::error::operation_aborted || stopping) return;
      Accept();
      return;
    }
    if (connections.size() >= kMaxClients) {
      // Refused at once, without waiting for the browser: a short reply
      // the socket's buffer takes whole, and closed.
      asio::error_code ignored;
      socket.non_blocking(true, ignored);
      const std::string busy = Plain("503 Service Unavailable", false, "Retry-After: 5\r\n");
      socket.write_some(asio::buffer(busy), ignored);
      socket.shutdown(tcp::socket::shutdown_both, ignored);
      socket.close(ignored);
    } else {
      auto connection = std::make_shared<Connection>(*this, std::move(socket));
      connections.insert(connection);
      connection->Begin();
    }
    Accept();
  });
}

void PageServer::Impl::Forget(const std::shared_ptr<Connection>& connection) {
  connections.erase(connection);
  if (stopping && connections.empty()) io.stop();
}

void PageServer::Impl::Flush() {
  const uint64_t last = feed.LastId();
  if (last <= sent) return;
  sent = last;
  // A copy: a dropped client leaves the set while it is walked.
  std::vector<std::shared_ptr<Connection>> streams;
  for (const auto& connection : connections) {
    if (connection->Streaming()) streams.push_back(connection);
  }
  for (const auto& stream : streams) stream->Fill();
}

void PageServer::Impl::Beat() {
  heartbeat.expires_after(kHeartbeat);
  heartbeat.async_wait([this](const asio::error_code& error) {
    if (error || stopping) return;
    const auto comment = std::make_shared<const std::string>(":\n\n");
    std::vector<std::shared_ptr<Connection>> streams;
    for (const auto& connection : connections) {
      if (connection->Streaming()) streams.push_back(connection);
    }
    for (const auto& stream : streams) stream->Beat(comment);
    Beat();
  });
}

PageServer::PageServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PageServer::~PageServer() { Stop(); }

std::unique_ptr<PageServer> PageServer::Listen(const ListenAddress& address, PageFeed& feed,
                                               std::string* error) {
  auto impl = std::make_unique<Impl>(feed, address);
  asio::error_code failed;
  const asio::ip::address ip = asio::ip::make_address(address.host, failed);
  if (failed) {
    *error = "--http: " + address.host + " is not an IP address";
    return nullptr;
  }
  const tcp::endpoint endpoint(ip, address.port);
  tcp::acceptor& acceptor = impl->acceptor;
  const std::string where =
      (ip.is_v6() ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
  acceptor.open(endpoint.protocol(), failed);
  if (failed) {
    *error = "the station page cannot listen on " + where + ": " + failed.message();
    return nullptr;
  }
#ifdef _WIN32
  // Windows lets another program bind a port in use unless the port is
  // taken exclusively: a second station must fail, not share it.
  BOOL exclusive = TRUE;
  ::setsockopt(acceptor.native_handle(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
#else
  // SO_REUSEADDR (never SO_REUSEPORT): a station started again binds while
  // the last run's connections linger, and a port another program listens
  // on is still refused.
  acceptor.set_option(tcp::acceptor::reuse_address(true), failed);
#endif
  acceptor.bind(endpoint, failed);
  if (!failed) acceptor.listen(asio::socket_base::max_listen_connections, failed);
  if (failed) {
    *error = "the station page cannot listen on " + where + ": " + failed.message();
    return nullptr;
  }
  impl->address.port = acceptor.local_endpoint().port();
  feed.SetNotify([raw = impl.get()] { raw->Notify(); });
  return std::unique_ptr<PageServer>(new PageServer(std::move(impl)));
}

void PageServer::Start() {
  Impl& impl = *impl_;
  impl.Accept();
  impl.Beat();
  impl.thread = std::thread([&impl] { impl.io.run(); });
}

void PageServer::Stop() {
  Impl& impl = *impl_;
  // Nothing more is woken: the station's threads are over by now.
  impl.feed.SetNotify(nullptr);
  if (!impl.thread.joinable()) return;
  asio::post(impl.io, [&impl] {
    impl.stopping = true;
    asio::error_code ignored;
    impl.acceptor.close(ignored);
    impl.heartbeat.cancel();
    impl.Flush();
    if (impl.connections.empty()) {
      impl.io.stop();
      return;
    }
    impl.stop_timer.expires_after(std::chrono::seconds(1));
    impl.stop_timer.async_wait([&impl](const asio::error_code& error) {
      if (!error) impl.io.stop();
    });
    const std::vector<std::shared_ptr<Connection>> open(impl.connections.begin(),
                                                        impl.connections.end());
    for (const auto& connection : open) connection->Finish();
  });
  impl.thread.join();
}

std::string PageServer::Url() const {
  const std::string& host = impl_->address.host;
  const bool v6 = host.find(':') != std::string::npos;
  return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(impl_->address.port) +
         "/";
}

}  // namespace lx40::page

namespace lx40::page {

uint16_t PageServer::Port() const { return impl_->address.port; }

}  // namespace lx40::page
