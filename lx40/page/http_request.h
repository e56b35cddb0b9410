// One HTTP request head read from a browser, parsed by Boost.Beast's
// parser. This is the only file that includes Beast: its headers are heavy
// to compile, and the server needs no more of it than this.
#ifndef LX40_LX40_PAGE_HTTP_REQUEST_H
#define LX40_LX40_PAGE_HTTP_REQUEST_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace lx40::page {

// The request head may be this long at most (the request line and every
// header); a longer one is refused with 431.
inline constexpr size_t kRequestHeadLimit = 8 * 1024;

struct HttpRequest {
  std::string method;  // as sent: "GET", "HEAD", ...
  std::string path;    // the target without its query
  std::optional<std::string> last_event_id;
  bool has_body = false;  // a body was announced (the page's requests have none)
};

class HttpRequestReader {
 public:
  enum class Status { kNeedMore, kComplete, kTooLarge, kBad };

  HttpRequestReader();
  ~HttpRequestReader();
  HttpRequestReader(const HttpRequestReader&) = delete;
  HttpRequestReader& operator=(const HttpRequestReader&) = delete;

  // Takes the next bytes the browser sent. Once kComplete, *request holds
  // the head; any later bytes are not read.
  Status Feed(const char* data, size_t size, HttpRequest* request);

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
  std::string pending_;  // bytes the parser has not taken yet
};

}  // namespace lx40::page

#endif
