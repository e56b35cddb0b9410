#include "station_page.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "exit_status.h"
#include "page_feed.h"
#include "page_server.h"
#include "station_subscriber.h"

namespace lx40::page {

namespace {

// The page's view of the station: the feed and the server around it.
class PageSubscriber final : public station::StationSubscriber {
 public:
  explicit PageSubscriber(ListenAddress address) : address_(std::move(address)) {}

  bool Listen(std::string* error) {
    server_ = PageServer::Listen(address_, feed_, error);
    return server_ != nullptr;
  }

  void Attach(const station::BayBoard& board, const station::StationPlan& plan) override {
    feed_.SetIdentity(plan.setup.station, plan.setup.trace);
    feed_.SetBoardReader(
        [&board](std::vector<station::BayRow>* rows, station::StationCounts* counts) {
          *rows = board.Rows();
          *counts = board.Counts();
        });
    server_->Start();
    std::fprintf(stderr, "lx40: the station page is at %s\n", server_->Url().c_str());
    if (address_.host != "127.0.0.1" && address_.host != "::1") {
      std::fprintf(stderr,
                   "lx40: the page is open to every computer that reaches this one on the "
                   "network at %s\n",
                   address_.host.c_str());
    }
    std::fflush(stderr);
  }

  void OnEvent(const station::StationEvent& event) override { feed_.Publish(event); }

  void Detach() override {
    server_->Stop();
    feed_.SetBoardReader(nullptr);
  }

 private:
  ListenAddress address_;
  PageFeed feed_;
  std::unique_ptr<PageServer> server_;
};

}  // namespace

int RunStationWithPage(const station::StationOptions& options) {
  if (options.http.empty()) return station::RunStationCommand(options);
  if (!options.learn_bays_file.empty()) {
    std::fprintf(stderr, "lx40: --learn-bays and --http do not go together\n");
    return kExitBadInput;
  }
  ListenAddress address;
  std::string error;
  if (!ParseListenAddress(options.http, &address, &error)) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  PageSubscriber page(address);
  if (!page.Listen(&error)) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  return station::RunStationCommand(options, &page);
}

}  // namespace lx40::page
