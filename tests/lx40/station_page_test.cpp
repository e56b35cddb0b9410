// lx40 station --http in a process of its own on a simulated line, read by
// plain HTTP clients: the page's files and headers, the state and the
// numbered event stream (with Last-Event-ID), what it refuses (unknown
// paths, other methods, a huge or slowly sent head, more clients than it
// takes), many event streams and streams that never read while units run,
// and a port in use refused before any meter is touched.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "http_client.h"
#include "lx40_fixture.h"

namespace lx40test {
namespace {

using namespace std::chrono_literals;

constexpr auto kLong = 60s;

// `units` meters queued at each of ports 1 to `bays`, each pulled out soon
// after lx40 is done with it; `serial(port, unit)` names them.
std::string QueuedLine(int bays, int units) {
  std::string text;
  for (int port = 1; port <= bays; ++port) {
    for (int unit = 0; unit < units; ++unit) {
      text += "[meter]\nserial = P" + std::to_string(port) + std::to_string(unit) +
              "\nport = " + std::to_string(port) + "\npull_after_ms = 200\nplug_after_ms = 100\n";
    }
  }
  return text;
}

class StationPageTest : public Lx40Test {
 protected:
  // Starts the station with the page on a port the system picks; false
  // when it never said where the page is.
  bool StartStation(const std::vector<std::string>& args,
                    const std::map<std::string, std::string>& env) {
    std::vector<std::string> all = {"station", "--http", "0"};
    all.insert(all.end(), args.begin(), args.end());
    station_ = Start(all, env);
    if (!station_->WaitForErrorOutput("the station page is at http://", kLong)) return false;
    // The whole line, up to its end (CR LF under Wine).
    const std::regex line("the station page is at http://127\\.0\\.0\\.1:([0-9]+)/\\r?\\n");
    std::smatch found;
    std::string err;
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    while (!std::regex_search(err = station_->Err(), found, line)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(10ms);
    }
    port_ = static_cast<uint16_t>(std::stoi(found[1]));
    return true;
  }

  // The event stream's messages, read until `wanted` is in them.
  static std::vector<SseMessage> StreamUntil(HttpConnection& stream, const std::string& wanted) {
    EXPECT_TRUE(stream.ReadUntil(wanted, kLong)) << stream.Received();
    const std::string& text = stream.Received();
    const size_t body = text.find("\r\n\r\n");
    return body == std::string::npos ? std::vector<SseMessage>{}
                                     : SseMessages(text.substr(body + 4));
  }

  std::unique_ptr<Lx40Process> station_;
  uint16_t port_ = 0;
};

TEST_F(StationPageTest, ServesThePageItsFilesTheStateAndTheNumberedEvents) {
  const auto env = Environment(QueuedLine(2, 2) + "[meter]\nserial = <b>x\nport = 3\n");
  WriteFile(Path("bays.txt"), "B1 1-1\nB2 1-2\nB3 1-3\n");
  ASSERT_TRUE(StartStation({"--bays", Path("bays.txt"), "--operator", "ann", "--lot", "L7"}, env))
      << station_->Err();
  // From the first event on, whenever it connects (the line has begun).
  HttpConnection stream(port_);
  ASSERT_TRUE(stream.Connected());
  ASSERT_TRUE(stream.Send("GET /events HTTP/1.1\r\nHost: x\r\nLast-Event-ID: 0\r\n\r\n"));

  // The files, from memory, with the headers that keep the page to itself.
  struct File {
    const char* path;
    const char* type;
    const char* holds;
  } files[] = {{"/", "text/html; charset=utf-8", "<script src=\"/station.js\""},
               {"/station.css", "text/css; charset=utf-8", ".tile"},
               {"/station.js", "text/javascript; charset=utf-8", "textContent"}};
  for (const File& file : files) {
    const HttpReply reply = Request(port_, "GET", file.path);
    EXPECT_EQ(reply.status, 200) << file.path;
    EXPECT_EQ(reply.Header("content-type"), file.type) << file.path;
    EXPECT_EQ(reply.Header("content-security-policy"), "default-src 'self'") << file.path;
    EXPECT_EQ(reply.Header("x-content-type-options"), "nosniff") << file.path;
    EXPECT_EQ(reply.Header("cache-control"), "no-store") << file.path;
    EXPECT_EQ(reply.Header("content-length"), std::to_string(reply.body.size())) << file.path;
    EXPECT_NE(reply.body.find(file.holds), std::string::npos) << file.path;
    const HttpReply head = Request(port_, "HEAD", file.path);
    EXPECT_EQ(head.status, 200) << file.path;
    EXPECT_EQ(head.Header("content-length"), std::to_string(reply.body.size())) << file.path;
    EXPECT_EQ(head.body, "") << file.path;
  }
  // No script or style inside the page: the policy would refuse it.
  const std::string html = Request(port_, "GET", "/").body;
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_EQ(html.find("<style"), std::string::npos);
  EXPECT_EQ(html.find("style="), std::string::npos);

  // Anything else: not found, and no other method.
  for (const char* path : {"/nothing", "/../etc/passwd", "/station.js/", "/api", "/index.html"}) {
    EXPECT_EQ(Request(port_, "GET", path).status, 404) << path;
  }
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    const HttpReply reply = Request(port_, method, "/api/state", "Content-Length: 0\r\n");
    EXPECT_EQ(reply.status, 405) << method;
    EXPECT_EQ(reply.Header("allow"), "GET, HEAD") << method;
  }

  // The words, from the shared string table.
  const Json strings = Json::parse(Request(port_, "GET", "/api/strings").body);
  EXPECT_EQ(strings.at("en").at("kPageReady"), "ready");
  EXPECT_EQ(strings.at("ja").at("kPageReady"), "準備完了");
  EXPECT_EQ(strings.at("ja").at("kResultFailed"), "失敗");

  // Both units of bays 1 and 2 done, and the markup serial's of bay 3.
  ASSERT_TRUE(stream.ReadUntilCount("\"event\":\"done\"", 5, kLong)) << stream.Received();
  const std::string& text = stream.Received();
  const std::vector<SseMessage> events = SseMessages(text.substr(text.find("\r\n\r\n") + 4));
  ASSERT_GE(events.size(), 5u);
  // Numbered one by one, each the event object as --json writes it.
  for (size_t i = 1; i < events.size(); ++i) EXPECT_EQ(events[i].id, events[i - 1].id + 1);
  for (const SseMessage& event : events) {
    const Json object = Json::parse(event.data);
    for (const char* key : {"event", "time", "bay", "port", "serial"}) {
      EXPECT_TRUE(object.contains(key)) << event.data;
    }
  }

  const Json state = Json::parse(Request(port_, "GET", "/api/state").body);
  EXPECT_GE(state.at("id").get<uint64_t>(), events.back().id);
  EXPECT_EQ(state.at("operator"), "ann");
  EXPECT_EQ(state.at("lot"), "L7");
  EXPECT_TRUE(state.at("work_order").is_null());
  EXPECT_EQ(state.at("counts").at("set"), 5);
  EXPECT_EQ(state.at("units").size(), 5u);
  ASSERT_EQ(state.at("bays").size(), 3u);
  EXPECT_EQ(state.at("bays").at(0).at("bay"), "B1");
  EXPECT_EQ(state.at("bays").at(2).at("serial"), "<b>x");
  EXPECT_EQ(state.at("bays").at(2).at("state"), "remove");

  // A browser that comes back with the last id it saw gets what followed.
  const uint64_t middle = events[events.size() / 2].id;
  HttpConnection again(port_);
  ASSERT_TRUE(again.Send(
      "GET /events HTTP/1.1\r\nHost: x\r\nLast-Event-ID: " + std::to_string(middle) + "\r\n\r\n"));
  const std::vector<SseMessage> resumed =
      StreamUntil(again, "id: " + std::to_string(events.back().id) + "\n");
  ASSERT_FALSE(resumed.empty());
  EXPECT_EQ(resumed.front().id, middle + 1);
  EXPECT_EQ(resumed.front().data, events[events.size() / 2 + 1].data);

  // The server stops with the station; the last event reaches the stream.
  station_->Interrupt();
  EXPECT_EQ(station_->Wait(), 0) << station_->Err();
  std::string rest;
  EXPECT_TRUE(stream.ReadToClose(10s, &rest));
  EXPECT_NE(rest.find("\"event\":\"stopped\""), std::string::npos);
  EXPECT_EQ(Request(port_, "GET", "/", "", 2s).status, 0);
}

TEST_F(StationPageTest, RefusesHugeSlowAndTooManyRequestsAndStaysUp) {
  const auto env = Environment("[meter]\nserial = R1\nport = 1\n");
  ASSERT_TRUE(StartStation({}, env)) << station_->Err();

  // A head beyond 8 KiB: refused (431), or closed once refused.
  struct Case {
    const char* name;
    std::string request;
    int status;
  } cases[] = {
      {"huge header", "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(9000, 'a') + "\r\n\r\n",
       431},
      {"endless header", "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(64000, 'a'), 431},
      {"not HTTP", "HELLO\r\n\r\n", 400},
      {"a body", "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello", 400},
  };
  for (const Case& c : cases) {
    HttpConnection connection(port_);
    connection.Send(c.request);  // may fail midway once the server has refused
    std::string text;
    EXPECT_TRUE(connection.ReadToClose(20s, &text)) << c.name;
    if (!text.empty()) {
      EXPECT_EQ(ParseReply(text).status, c.status) << c.name;
    }
  }

  // Sent slowly and never finished: closed after the request time, while
  // other browsers are served.
  HttpConnection slow(port_);
  ASSERT_TRUE(slow.Send("GET / HTTP/1.1\r\nHo"));
  EXPECT_EQ(Request(port_, "GET", "/api/state").status, 200);
  EXPECT_TRUE(slow.ClosedWithin(30s));

  // More connections than it takes: the ones beyond get 503 at once.
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 64; ++i) {
    idle.push_back(std::make_unique<HttpConnection>(port_));
    ASSERT_TRUE(idle.back()->Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n"));
    ASSERT_TRUE(idle.back()->ReadUntil("\r\n\r\n", kLong)) << i;
  }
  const HttpReply busy = Request(port_, "GET", "/");
  EXPECT_EQ(busy.status, 503);
  idle.clear();
  // Served again once they are gone (the server hears them close).
  bool served = false;
  for (int attempt = 0; attempt < 100 && !served; ++attempt) {
    served = Request(port_, "GET", "/").status == 200;
    if (!served) std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(served);

  station_->Interrupt();
  EXPECT_EQ(station_->Wait(), 0) << station_->Err();
}

TEST_F(StationPageTest, FiftyStreamsAndStreamsThatNeverReadDoNotHoldUpTheLine) {
  constexpr int kBays = 3;
  constexpr int kUnits = 3;
  const auto env = Environment(QueuedLine(kBays, kUnits));
  const std::string record = Path("record.jsonl");
  ASSERT_TRUE(StartStation({"--record", record}, env)) << station_->Err();
  std::vector<std::unique_ptr<HttpConnection>> readers;
  std::vector<std::unique_ptr<HttpConnection>> stuck;
  for (int i = 0; i < 50; ++i) {
    readers.push_back(std::make_unique<HttpConnection>(port_));
    ASSERT_TRUE(readers.back()->Send("GET /events HTTP/1.1\r\nHost: x\r\nLast-Event-ID: 0\r\n\r\n"))
        << i;
  }
  // Never read, with the smallest receive buffer the system gives.
  for (int i = 0; i < 5; ++i) {
    stuck.push_back(std::make_unique<HttpConnection>(port_, 1));
    ASSERT_TRUE(stuck.back()->Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n")) << i;
  }
  // Every unit done, and the server still answers while the stuck streams
  // stay stuck.
  EXPECT_TRUE(readers.front()->ReadUntilCount("\"event\":\"done\"", kBays * kUnits, kLong));
  EXPECT_EQ(Request(port_, "GET", "/api/state").status, 200);
  station_->Interrupt();
  EXPECT_EQ(station_->Wait(std::chrono::milliseconds(kLong)), 0) << station_->Err();
  EXPECT_EQ(JsonLines(ReadFile(record)).size(), static_cast<size_t>(kBays * kUnits));
  // Every reader got every unit, then the end, each event once.
  for (size_t i = 0; i < readers.size(); ++i) {
    std::string text;
    EXPECT_TRUE(readers[i]->ReadToClose(20s, &text)) << i;
    int done = 0;
    for (size_t at = text.find("\"event\":\"done\""); at != std::string::npos;
         at = text.find("\"event\":\"done\"", at + 1)) {
      ++done;
    }
    EXPECT_EQ(done, kBays * kUnits) << i;
    const std::vector<SseMessage> events = SseMessages(text.substr(text.find("\r\n\r\n") + 4));
    ASSERT_FALSE(events.empty()) << i;
    EXPECT_EQ(events.front().id, 1u) << i;
    for (size_t e = 1; e < events.size(); ++e) EXPECT_EQ(events[e].id, events[e - 1].id + 1) << i;
    EXPECT_NE(text.find("\"event\":\"stopped\""), std::string::npos) << i;
  }
}

TEST_F(StationPageTest, APortInUseOrABadAddressIsABadInputBeforeAnyMeterIsTouched) {
  // Held as a second station would hold it, with SO_REUSEADDR.
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(holder, 0);
  const int on = 1;
  ::setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 4), 0);
  socklen_t length = sizeof address;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));

  const auto env = Environment("[meter]\nserial = U1\nport = 1\n");
  struct Case {
    std::string http;
    const char* says;
  } cases[] = {
      {port, "cannot listen on 127.0.0.1:"},
      {"127.0.0.1:" + port, "cannot listen on 127.0.0.1:"},
      {"70000", "the port must be a number"},
      {"x:80:1", "expected PORT or ADDRESS:PORT"},
      {"no.such.host:80", "is not an IP address"},
      {"[::1:80", "expected [IPV6]:PORT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({"station", "--http", c.http, "--max-units", "1", "--json"}, env), 2) << c.http;
    EXPECT_NE(Err().find(c.says), std::string::npos) << c.http << ": " << Err();
    EXPECT_EQ(Out(), "") << c.http;
  }
  ::close(holder);
  // The meter was never touched.
  if (FileExists(Path("state.json"))) {
    EXPECT_EQ(StoredHex(MeterState(State(), "U1"), 1), "");
  }
}

}  // namespace
}  // namespace lx40test
