#include "http_request.h"

#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>

namespace lx40::page {

namespace http = boost::beast::http;

struct HttpRequestReader::Parser {
  http::request_parser<http::empty_body> beast;
};

HttpRequestReader::HttpRequestReader() : parser_(std::make_unique<Parser>()) {
  parser_->beast.header_limit(static_cast<std::uint32_t>(kRequestHeadLimit));
  // The head is all that is read: a body is never taken (the request is
  // refused), so the parser stops at the end of the head.
  parser_->beast.eager(false);
}

HttpRequestReader::~HttpRequestReader() = default;

HttpRequestReader::Status HttpRequestReader::Feed(const char* data, size_t size,
                                                  HttpRequest* request) {
  pending_.append(data, size);
  // Beast takes a head only once it is whole; what it has not taken yet is
  // bounded here.
  if (pending_.size() > kRequestHeadLimit) return Status::kTooLarge;
  http::request_parser<http::empty_body>& beast = parser_->beast;
  boost::beast::error_code error;
  const size_t used = beast.put(boost::asio::const_buffer(pending_.data(), pending_.size()), error);
  pending_.erase(0, used);
  if (error == http::error::need_more) return Status::kNeedMore;
  if (error == http::error::header_limit) return Status::kTooLarge;
  if (error) return Status::kBad;
  if (!beast.is_header_done()) return Status::kNeedMore;
  const auto& head = beast.get();
  request->method = std::string(head.method_string());
  const std::string target(head.target());
  request->path = target.substr(0, target.find('?'));
  const auto id = head.find("Last-Event-ID");
  if (id != head.end()) request->last_event_id = std::string(id->value());
  request->has_body = beast.content_length().value_or(0) > 0 || beast.chunked();
  return Status::kComplete;
}

}  // namespace lx40::page
