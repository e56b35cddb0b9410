// The feed numbers events in order, keeps a bounded tail of them and the
// last units, leaves held-back progress out, and its state always says
// exactly the last event the bays include, however events race with it.
#include "page_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

namespace lx40::page {
namespace {

using station::EventKind;
using station::StationEvent;

StationEvent Event(EventKind kind, const std::string& serial = "S1") {
  StationEvent event;
  event.kind = kind;
  event.time = "2026-12-11T09:00:00.000Z";
  event.port = "1-1";
  event.serial = serial;
  if (kind == EventKind::kDone) {
    event.detail = {{"result", "set"}, {"record", {{"message", "ok <b>" + serial}}}};
  }
  return event;
}

TEST(PageFeed, NumbersEventsKeepsATailAndTheLastUnits) {
  PageFeed feed;
  EXPECT_EQ(feed.OldestId(), 1u);
  int woken = 0;
  feed.SetNotify([&] { ++woken; });
  StationEvent held = Event(EventKind::kProgress);
  held.throttled = true;
  feed.Publish(held);
  EXPECT_EQ(feed.LastId(), 0u);
  for (int i = 0; i < static_cast<int>(kKeptEvents) + 30; ++i) {
    feed.Publish(Event(i % 2 ? EventKind::kDone : EventKind::kStarted, "S" + std::to_string(i)));
  }
  EXPECT_EQ(feed.LastId(), kKeptEvents + 30);
  EXPECT_EQ(woken, static_cast<int>(kKeptEvents) + 30);
  const std::vector<NumberedEvent> all = feed.EventsAfter(0, feed.LastId());
  ASSERT_EQ(all.size(), kKeptEvents);
  EXPECT_EQ(all.front().id, 31u);
  EXPECT_EQ(all.back().id, kKeptEvents + 30);
  // The objects as --json writes them, without the line feed.
  EXPECT_EQ(all.back().json.back(), '}');
  EXPECT_EQ(nlohmann::json::parse(all.back().json).at("serial"),
            "S" + std::to_string(kKeptEvents + 29));
  const std::vector<NumberedEvent> some = feed.EventsAfter(100, 103);
  ASSERT_EQ(some.size(), 3u);
  EXPECT_EQ(some.front().id, 101u);
  // At most `most`, from the oldest kept when asked for older ones.
  EXPECT_EQ(feed.OldestId(), 31u);
  const std::vector<NumberedEvent> first = feed.EventsAfter(0, feed.LastId(), 5);
  ASSERT_EQ(first.size(), 5u);
  EXPECT_EQ(first.front().id, 31u);
  EXPECT_TRUE(feed.EventsAfter(feed.LastId(), feed.LastId()).empty());
  // The stream's message, made once: its id and the object.
  EXPECT_EQ(*some.front().message, "id: 101\ndata: " + some.front().json + "\n\n");

  const nlohmann::json state = nlohmann::json::parse(feed.StateJson());
  EXPECT_EQ(state.at("id"), kKeptEvents + 30);
  ASSERT_EQ(state.at("units").size(), kLastUnits);
  EXPECT_EQ(state.at("units").back().at("serial"), "S" + std::to_string(kKeptEvents + 29));
  EXPECT_EQ(state.at("units").back().at("message"), "ok <b>S" + std::to_string(kKeptEvents + 29));
}

TEST(PageFeed, TheStateSaysTheLastEventItsBaysInclude) {
  PageFeed feed;
  feed.SetIdentity("st", Traceability{});
  // A board: each event changes a bay under its lock, as BayBoard does.
  std::mutex board;
  int applied = 0;
  feed.SetBoardReader([&](std::vector<station::BayRow>* rows, station::StationCounts* counts) {
    std::lock_guard lock(board);
    station::BayRow row;
    row.port = "1-1";
    row.serial = std::to_string(applied);
    rows->push_back(row);
    counts->started = applied;
  });
  std::atomic<bool> stop{false};
  // Ten thousand events a second, far more than any station gives.
  std::thread line([&] {
    while (!stop) {
      {
        std::lock_guard lock(board);
        feed.Publish(Event(EventKind::kProgress));
        ++applied;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  int checked = 0;
  for (; checked < 500; ++checked) {
    const nlohmann::json state = nlohmann::json::parse(feed.StateJson());
    ASSERT_EQ(state.at("bays").at(0).at("serial"), std::to_string(state.at("id").get<int>()));
    ASSERT_EQ(state.at("counts").at("started"), state.at("id"));
  }
  stop = true;
  line.join();
}

}  // namespace
}  // namespace lx40::page
