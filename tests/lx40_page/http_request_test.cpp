// The request head as Beast's parser reads it, in whatever pieces it
// comes, and the heads it refuses.
#include "http_request.h"

#include <gtest/gtest.h>

namespace lx40::page {
namespace {

using Status = HttpRequestReader::Status;

TEST(HttpRequestReader, ReadsAHeadInAnyPieces) {
  const std::string head =
      "GET /events?x=1 HTTP/1.1\r\nHost: a\r\nLast-Event-ID: 42\r\nAccept: */*\r\n\r\n";
  for (size_t piece : {head.size(), size_t{1}, size_t{7}}) {
    HttpRequestReader reader;
    HttpRequest request;
    Status status = Status::kNeedMore;
    for (size_t at = 0; at < head.size(); at += piece) {
      ASSERT_EQ(status, Status::kNeedMore) << piece;
      status = reader.Feed(head.data() + at, std::min(piece, head.size() - at), &request);
    }
    ASSERT_EQ(status, Status::kComplete) << piece;
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/events");
    ASSERT_TRUE(request.last_event_id.has_value());
    EXPECT_EQ(*request.last_event_id, "42");
    EXPECT_FALSE(request.has_body);
  }
}

TEST(HttpRequestReader, RefusesTooLongBadAndBodies) {
  struct Case {
    const char* name;
    std::string bytes;
    Status status;
    bool has_body;
  } cases[] = {
      {"long header", "GET / HTTP/1.1\r\nX: " + std::string(kRequestHeadLimit, 'a') + "\r\n\r\n",
       Status::kTooLarge, false},
      {"endless", "GET / HTTP/1.1\r\nX: " + std::string(3 * kRequestHeadLimit, 'a'),
       Status::kTooLarge, false},
      {"no HTTP", "HELLO THERE\r\n\r\n", Status::kBad, false},
      {"binary", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "\r\n\r\n",
       Status::kBad, false},
      {"body", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", Status::kComplete, true},
      {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
       Status::kComplete, true},
      {"head", "HEAD /station.css HTTP/1.1\r\nHost: a\r\n\r\n", Status::kComplete, false},
  };
  for (const Case& c : cases) {
    HttpRequestReader reader;
    HttpRequest request;
    EXPECT_EQ(reader.Feed(c.bytes.data(), c.bytes.size(), &request), c.status) << c.name;
    if (c.status == Status::kComplete) {
      EXPECT_EQ(request.has_body, c.has_body) << c.name;
    }
  }
}

}  // namespace
}  // namespace lx40::page
