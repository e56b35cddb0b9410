// The station page's HTTP server: the page, its style and script from
// memory, the state as JSON, the events as Server-Sent Events. Read-only:
// nothing it serves acts on a meter.
//
// One I/O thread of its own (standalone Asio) serves every browser; the
// station's threads only hand it events through the feed, so a slow or
// stuck browser, or many, never delay a unit. Bounded everywhere: a
// request head of 8 KiB, 5 s to send it, 64 browsers at once (then 503),
// and a queue per event stream (a browser that does not read is dropped).
#ifndef LX40_LX40_PAGE_PAGE_SERVER_H
#define LX40_LX40_PAGE_PAGE_SERVER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "listen_address.h"
#include "page_feed.h"

namespace lx40::page {

inline constexpr size_t kMaxClients = 64;
inline constexpr std::chrono::seconds kRequestTimeout{5};
// A response other than the event stream must be taken within this time.
inline constexpr std::chrono::seconds kResponseTimeout{10};
// A comment on every event stream this often: a browser that has gone
// without a word is found out by the failing send.
inline constexpr std::chrono::seconds kHeartbeat{15};

class PageServer {
 public:
  // Binds and listens, without serving yet. Null with *error when the
  // address cannot be listened on (not an address of this computer, or the
  // port in use by another program: never shared with it).
  static std::unique_ptr<PageServer> Listen(const ListenAddress& address, PageFeed& feed,
                                            std::string* error);
  ~PageServer();  // Stop()
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // Starts the I/O thread.
  void Start();
  // Sends what is queued (the "stopped" event) for at most a second, then
  // closes every connection and joins the thread.
  void Stop();

  // http://ADDRESS:PORT/ with the port actually bound.
  std::string Url() const;
  uint16_t Port() const;

  struct Impl;

 private:
  explicit PageServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace lx40::page

#endif
