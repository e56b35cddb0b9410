// The bays' state machine: what each bay shows and which events go out as
// meters arrive, are set up, fail and are pulled out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bay_board.h"

namespace lx40::station {
namespace {

struct Seen {
  std::string event;
  std::optional<std::string> bay;
  std::string port;
  std::optional<std::string> serial;
  nlohmann::ordered_json detail;
  bool throttled;
};

class BoardTest : public ::testing::Test {
 protected:
  BayBoard MakeBoard(std::vector<Bay> bays, size_t max_units = 0) {
    return BayBoard(
        std::move(bays), max_units,
        [this](const StationEvent& e, const std::vector<BayRow>& rows, const StationCounts&) {
          events_.push_back(
              Seen{EventName(e.kind), e.bay, e.port, e.serial, e.detail, e.throttled});
          rows_ = rows;
        },
        [] { return std::string("2026-01-01T00:00:00.000Z"); });
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Seen& s : events_) names.push_back(s.event);
    return names;
  }
  static UnitRecord Record(const std::string& serial, UnitResult result, std::string message = "") {
    UnitRecord record;
    record.serial = serial;
    record.result = result;
    record.message = std::move(message);
    return record;
  }

  std::vector<Seen> events_;
  std::vector<BayRow> rows_;
};

TEST_F(BoardTest, AUnitGoesFromArrivalToRemoveAndTheBayIsReadyWhenPulled) {
  BayBoard board = MakeBoard({{"B1", "1-1"}, {"B2", "1-2"}});
  size_t bay = 99;
  ASSERT_EQ(board.Seen("1-2", "p2", 7, &bay), Arrival::kStart);
  EXPECT_EQ(bay, 1u);
  // Seen again with the same plug: nothing to do, nothing told.
  EXPECT_EQ(board.Seen("1-2", "p2", 7, &bay), Arrival::kKnown);
  board.Started(bay, "A1");
  board.Progress(bay, "8010 slot 1", 40, "writing", false);
  EXPECT_EQ(board.Rows()[1].state, BayState::kWorking);
  EXPECT_EQ(board.Rows()[1].percent, 40);
  board.Progress(bay, "8010 slot 1", 0, "settling", true);
  EXPECT_EQ(board.Rows()[1].state, BayState::kSettling);
  board.Done(bay, Record("A1", UnitResult::kSet), false);
  EXPECT_EQ(board.Rows()[1].state, BayState::kRemove);
  EXPECT_TRUE(board.Idle());
  // Listed again while still plugged: stays "remove", never started again.
  board.Listed({"1-2"}, {7});
  EXPECT_EQ(board.Seen("1-2", "p2", 7, &bay), Arrival::kKnown);
  EXPECT_EQ(board.Rows()[1].state, BayState::kRemove);
  // One listing without it may have been taken while another device came
  // or went: gone only once two in a row miss it.
  board.Listed({}, {});
  EXPECT_EQ(board.Rows()[1].state, BayState::kRemove);
  board.Listed({"1-2"}, {7});
  board.Listed({}, {});
  EXPECT_EQ(board.Rows()[1].state, BayState::kRemove);
  board.Listed({}, {});
  EXPECT_EQ(board.Rows()[1].state, BayState::kReady);
  EXPECT_EQ(board.Rows()[1].serial, "");

  EXPECT_EQ(Names(), (std::vector<std::string>{"arrived", "started", "progress", "progress", "done",
                                               "removed"}));
  for (const Seen& s : events_) {
    EXPECT_EQ(s.bay, "B2");
    EXPECT_EQ(s.port, "1-2");
  }
  EXPECT_FALSE(events_[0].serial);  // not asked yet
  EXPECT_EQ(events_[1].serial, "A1");
  EXPECT_EQ(events_[4].detail["result"], "set");
  EXPECT_EQ(events_[4].detail["record"]["serial"], "A1");
  EXPECT_EQ(board.Counts().set, 1);
}

TEST_F(BoardTest, EachOutcomeShowsItsStateUntilPulledAndIsNeverRetried) {
  struct Case {
    UnitResult result;
    bool replug;
    BayState shown;
    int StationCounts::*count;
  } cases[] = {
      {UnitResult::kSet, false, BayState::kRemove, &StationCounts::set},
      {UnitResult::kAlreadySet, false, BayState::kRemove, &StationCounts::already_set},
      {UnitResult::kFailed, false, BayState::kFailed, &StationCounts::failed},
      {UnitResult::kFailed, true, BayState::kReplug, &StationCounts::failed},
      {UnitResult::kCancelled, false, BayState::kFailed, &StationCounts::failed},
  };
  for (const Case& c : cases) {
    events_.clear();
    BayBoard board = MakeBoard({{"B1", "1-1"}});
    size_t bay = 0;
    ASSERT_EQ(board.Seen("1-1", "p", 1, &bay), Arrival::kStart);
    board.Started(bay, "S");
    board.Done(bay, Record("S", c.result, "The battery is low."), c.replug);
    for (int poll = 0; poll < 3; ++poll) {
      board.Listed({"1-1"}, {1});
      EXPECT_EQ(board.Seen("1-1", "p", 1, &bay), Arrival::kKnown);
    }
    const BayRow row = board.Rows()[0];
    EXPECT_EQ(row.state, c.shown) << ResultName(c.result);
    if (c.shown == BayState::kFailed) {
      EXPECT_EQ(row.reason, "The battery is low.");
    }
    EXPECT_EQ(board.Counts().*c.count, 1);
    EXPECT_EQ(board.Counts().started, 1);
    EXPECT_EQ(board.Replug().size(), c.replug ? 1u : 0u);
    // Plugged in again: a new generation is a new arrival.
    EXPECT_EQ(board.Seen("1-1", "p", 2, &bay), Arrival::kStart);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"arrived", "started", "done", "removed", "arrived"}));
  }
}

TEST_F(BoardTest, APortThatIsNotABayIsIgnoredOncePerPlug) {
  BayBoard board = MakeBoard({{"B1", "1-1"}});
  size_t bay = 0;
  for (int poll = 0; poll < 3; ++poll) {
    EXPECT_EQ(board.Seen("1-9", "x", 4, &bay), Arrival::kIgnored);
    board.Listed({"1-9"}, {4});
  }
  EXPECT_EQ(Names(), std::vector<std::string>{"ignored"});
  EXPECT_FALSE(events_[0].bay);
  EXPECT_EQ(events_[0].port, "1-9");
  board.Listed({}, {});
  board.Listed({}, {});
  EXPECT_EQ(board.Seen("1-9", "x", 5, &bay), Arrival::kIgnored);
  EXPECT_EQ(Names(), (std::vector<std::string>{"ignored", "ignored"}));
  EXPECT_EQ(board.Counts().started, 0);
}

TEST_F(BoardTest, WithoutABaysFileEveryPortIsABayNamedByItsPort) {
  BayBoard board = MakeBoard({});
  size_t first = 0, second = 0;
  EXPECT_EQ(board.Seen("1-3", "a", 1, &first), Arrival::kStart);
  EXPECT_EQ(board.Seen("1-1", "b", 2, &second), Arrival::kStart);
  EXPECT_NE(first, second);
  // Rows keep their numbers as bays are added: a worker's row stays its own.
  board.Started(first, "FIRST");
  EXPECT_EQ(board.Rows()[first].port, "1-3");
  EXPECT_EQ(board.Rows()[first].serial, "FIRST");
  EXPECT_FALSE(events_[0].bay);
}

TEST_F(BoardTest, NoUnitStartsOnceMaxUnitsStartedOrWhenStopping) {
  BayBoard board = MakeBoard({{"B1", "1-1"}, {"B2", "1-2"}, {"B3", "1-3"}}, 2);
  size_t bay = 0;
  EXPECT_EQ(board.Seen("1-1", "a", 1, &bay), Arrival::kStart);
  EXPECT_EQ(board.Seen("1-2", "b", 1, &bay), Arrival::kStart);
  EXPECT_EQ(board.Seen("1-3", "c", 1, &bay), Arrival::kHold);
  EXPECT_FALSE(board.AllUnitsDone());
  board.Done(0, Record("A", UnitResult::kSet), false);
  EXPECT_FALSE(board.AllUnitsDone());
  board.Done(1, Record("B", UnitResult::kFailed), false);
  EXPECT_TRUE(board.AllUnitsDone());

  BayBoard stopping = MakeBoard({{"B1", "1-1"}});
  stopping.StopStarting();
  EXPECT_EQ(stopping.Seen("1-1", "a", 1, &bay), Arrival::kHold);
  EXPECT_TRUE(stopping.Idle());
}

TEST_F(BoardTest, PulledOutWhileWorkedOnTheBayIsReadyOnceTheUnitIsOver) {
  BayBoard board = MakeBoard({{"B1", "1-1"}});
  size_t bay = 0;
  ASSERT_EQ(board.Seen("1-1", "a", 1, &bay), Arrival::kStart);
  board.Started(bay, "A");
  board.Listed({}, {});
  board.Listed({}, {});
  EXPECT_FALSE(board.Idle());
  EXPECT_EQ(board.Rows()[0].state, BayState::kWorking);
  board.Done(bay, Record("A", UnitResult::kFailed, "The meter was unplugged."), true);
  EXPECT_EQ(board.Rows()[0].state, BayState::kReady);
  EXPECT_EQ(Names(), (std::vector<std::string>{"arrived", "started", "removed", "done"}));
}

// One unit per bay: a meter plugged in again while the unit of its last
// plug is not over (its probe hangs, say) waits, and the watch goes on;
// it starts at the first sight once that unit is over.
TEST_F(BoardTest, APlugWhileTheBaysUnitIsNotOverWaitsForIt) {
  BayBoard board = MakeBoard({{"B1", "1-1"}});
  size_t bay = 0;
  ASSERT_EQ(board.Seen("1-1", "a", 1, &bay), Arrival::kStart);
  board.Started(bay, "A");
  for (int poll = 0; poll < 3; ++poll) {
    EXPECT_EQ(board.Seen("1-1", "a", 2, &bay), Arrival::kKnown);
  }
  EXPECT_FALSE(board.Idle());
  EXPECT_EQ(board.Counts().started, 1);
  board.Done(bay, Record("A", UnitResult::kFailed, "Signal error."), false);
  // The bay holds the plug that waited: ready, not the old outcome.
  EXPECT_EQ(board.Rows()[0].state, BayState::kReady);
  EXPECT_EQ(board.Rows()[0].serial, "");
  EXPECT_EQ(board.Seen("1-1", "a", 2, &bay), Arrival::kStart);
  EXPECT_EQ(board.Seen("1-1", "a", 2, &bay), Arrival::kKnown);
  EXPECT_EQ(board.Counts().started, 2);
  EXPECT_EQ(board.Counts().failed, 1);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"arrived", "started", "removed", "arrived", "done"}));

  // Pulled out again before it could start: it is gone, nothing starts.
  BayBoard other = MakeBoard({{"B1", "1-1"}});
  ASSERT_EQ(other.Seen("1-1", "a", 1, &bay), Arrival::kStart);
  EXPECT_EQ(other.Seen("1-1", "a", 2, &bay), Arrival::kKnown);
  other.Listed({}, {});
  other.Listed({}, {});
  other.Done(bay, Record("A", UnitResult::kFailed), false);
  EXPECT_EQ(other.Rows()[0].state, BayState::kReady);
  EXPECT_TRUE(other.Idle());
  EXPECT_EQ(other.Counts().started, 1);
}

TEST_F(BoardTest, ProgressIsShownAlwaysButStreamedAtMostTwiceASecondPerBay) {
  BayBoard board = MakeBoard({{"B1", "1-1"}, {"B2", "1-2"}});
  size_t a = 0, b = 0;
  board.Seen("1-1", "a", 1, &a);
  board.Seen("1-2", "b", 1, &b);
  events_.clear();
  for (int percent = 0; percent <= 100; ++percent) {
    board.Progress(a, "8010 slot 1", percent, "writing", false);
    board.Progress(b, "8010 slot 1", percent, "writing", false);
  }
  board.Progress(a, "8010 slot 1", 0, "settling", true);
  // Every change reaches the view; within well under half a second only the
  // first of each bay is for the stream.
  ASSERT_EQ(events_.size(), 203u);
  int streamed = 0;
  for (const Seen& s : events_) streamed += !s.throttled;
  EXPECT_EQ(streamed, 2);
  EXPECT_FALSE(events_[0].throttled);
  EXPECT_FALSE(events_[1].throttled);
  EXPECT_EQ(board.Rows()[a].state, BayState::kSettling);
  EXPECT_EQ(board.Rows()[b].percent, 100);
}

TEST(ProgressGateTest, PassesOncePerInterval) {
  ProgressGate gate(std::chrono::milliseconds(500));
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  struct Step {
    int at_ms;
    bool passes;
  } steps[] = {{0, true}, {100, false}, {499, false}, {500, true}, {900, false}, {1000, true}};
  for (const Step& s : steps) {
    EXPECT_EQ(gate.Pass(t0 + std::chrono::milliseconds(s.at_ms)), s.passes) << s.at_ms;
  }
}

TEST(StationEventsTest, EachEventIsOneJsonLineWithTheCommonKeysFirst) {
  StationEvent event;
  event.kind = EventKind::kDone;
  event.time = "2026-01-01T00:00:00.000Z";
  event.bay = "B\"1";
  event.port = "1-2.4";
  event.serial = std::string("A\xff\x01");
  event.detail = {{"result", "set"}};
  const std::string line = EventLine(event);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  const auto json = nlohmann::ordered_json::parse(line);
  std::vector<std::string> keys;
  for (const auto& item : json.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"event", "time", "bay", "port", "serial", "result"}));
  EXPECT_EQ(json["event"], "done");
  EXPECT_EQ(json["bay"], "B\"1");
  // Device text never breaks the line: invalid bytes are replaced.
  EXPECT_TRUE(json["serial"].is_string());

  StationEvent stopped;
  stopped.kind = EventKind::kStopped;
  const auto j2 = nlohmann::ordered_json::parse(EventLine(stopped));
  EXPECT_TRUE(j2["bay"].is_null());
  EXPECT_TRUE(j2["serial"].is_null());
}

}  // namespace
}  // namespace lx40::station
