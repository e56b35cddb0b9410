// TableSender over a scripted transport: what goes out in which order, which
// answers decide, and when a silent meter stops the load.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "load_protocol.h"

namespace {

using loadproto::Status;
using Bytes = std::vector<uint8_t>;

// One answer: its bytes, or nullopt for a read that fails.
using Answer = std::optional<Bytes>;

// Plays a script of answers and records every send. An answer is taken from
// the script by Receive; when the script is used up, answers are empty.
class ScriptedTransport : public loadproto::Transport {
 public:
  bool SendCommand(const char* text) override {
    sends.push_back(Bytes(text, text + std::string(text).size()));
    return commandWorks;
  }
  bool SendByte(uint8_t value) override {
    sends.push_back({value});
    return sendsWork;
  }
  bool SendBlock(const uint8_t* data, size_t size) override {
    sends.push_back(Bytes(data, data + size));
    return sendsWork;
  }
  bool Receive() override {
    ++receives;
    current.clear();
    taken = 0;
    if (script.empty()) return true;
    const Answer answer = script.front();
    script.pop_front();
    if (!answer) return false;
    current = *answer;
    return true;
  }
  bool TakeByte(uint8_t* out) override {
    if (taken >= current.size()) return false;
    *out = current[taken++];
    return true;
  }

  std::deque<Answer> script;
  std::vector<Bytes> sends;
  int receives = 0;
  bool commandWorks = true;
  bool sendsWork = true;

 private:
  Bytes current;
  size_t taken = 0;
};

constexpr uint8_t kAck = loadproto::kAck;
const Answer kEmpty = Bytes{};
const Answer kFails = std::nullopt;

// A table of `records` records; its bytes count up, so each send is
// recognisable (no CRC: the protocol never looks at it).
Bytes MakeTable(uint16_t records) {
  Bytes table(16 + 6 * records + 2);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(0x20 + i);
  return table;
}

// The meter's answers up to the records: to "HOSEI", 16 echoes, the
// handshake.
void ScriptHeader(ScriptedTransport& t, const Bytes& table) {
  t.script.push_back(Bytes{kAck});
  for (size_t i = 0; i < 16; ++i) t.script.push_back(Bytes{table[i]});
  t.script.push_back(Bytes{kAck});
}

// Drives a load the way its users do; the status that ended it.
Status RunLoad(loadproto::TableSender& sender, int* recordSteps = nullptr) {
  Status status = sender.SendHosei();
  if (status != Status::kOk) return status;
  status = sender.SendHeader();
  if (status != Status::kOk) return status;
  int steps = 0;
  do {
    status = sender.SendRecord();
    ++steps;
  } while (status == Status::kOk && steps < 1000);
  if (recordSteps != nullptr) *recordSteps = steps;
  if (status != Status::kRecordsDone) return status;
  return sender.SendTrailer();
}

TEST(LoadProtocol, SendsTheTableInItsOrder) {
  const Bytes table = MakeTable(2);
  ScriptedTransport t;
  ScriptHeader(t, table);
  t.script.insert(t.script.end(), {Bytes{kAck}, Bytes{kAck}, Bytes{kAck}, Bytes{kAck}});
  loadproto::TableSender sender(t);
  ASSERT_TRUE(sender.Arm(table.data(), 2));
  EXPECT_EQ(RunLoad(sender), Status::kDone);

  std::vector<Bytes> expected{Bytes{'H', 'O', 'S', 'E', 'I'}};
  for (size_t i = 0; i < 16; ++i) expected.push_back({table[i]});
  expected.push_back({kAck});
  expected.push_back({kAck});
  expected.push_back(Bytes(table.begin() + 16, table.begin() + 22));
  expected.push_back(Bytes(table.begin() + 22, table.begin() + 28));
  expected.push_back(Bytes(table.end() - 2, table.end()));
  EXPECT_EQ(t.sends, expected);
  EXPECT_EQ(t.receives, 1 + 16 + 1 + 2 + 1 + 1);
  EXPECT_EQ(sender.bytes_sent(), table.size());
}

// The hung-meter rule: answers before the records that carry no byte (or
// whose read fails) are tolerated one or two in a row; the third in a row
// fails the load, and nothing is sent after it.
TEST(LoadProtocol, ThreeAnswersInARowWithoutAByteStopTheLoad) {
  struct Case {
    const char* what;
    std::vector<Answer> afterHeader;  // the answers from the one before record 1 on
    Status result;
    int sendsAfterHeader;  // records and trailer written
  };
  const Answer ack = Bytes{kAck};
  const Case cases[] = {
      {"one empty answer", {ack, kEmpty, ack, ack, ack, ack, ack}, Status::kDone, 6},
      {"two in a row", {ack, kEmpty, kEmpty, ack, ack, ack, ack}, Status::kDone, 6},
      {"two, then one", {kEmpty, kEmpty, ack, kEmpty, ack, ack, ack}, Status::kDone, 6},
      {"three in a row", {ack, kEmpty, kEmpty, kEmpty, ack, ack, ack}, Status::kNoAnswer, 3},
      {"failed reads count", {ack, kFails, kEmpty, kFails, ack, ack, ack}, Status::kNoAnswer, 3},
      {"silent from the start", {kEmpty, kEmpty, kEmpty}, Status::kNoAnswer, 2},
      {"silent until the trailer", {ack, ack, ack, kEmpty, kEmpty, kEmpty}, Status::kNoAnswer, 5},
      {"a wrong byte is an answer",
       {ack, {{0x15}}, {{0x00}}, {{0x15}}, ack, ack, ack},
       Status::kDone,
       6},
  };
  for (const Case& c : cases) {
    const Bytes table = MakeTable(5);
    ScriptedTransport t;
    ScriptHeader(t, table);
    t.script.insert(t.script.end(), c.afterHeader.begin(), c.afterHeader.end());
    loadproto::TableSender sender(t);
    ASSERT_TRUE(sender.Arm(table.data(), 5));
    EXPECT_EQ(RunLoad(sender), c.result) << c.what;
    const int headerSends = 1 + 16 + 2;
    EXPECT_EQ(static_cast<int>(t.sends.size()) - headerSends, c.sendsAfterHeader) << c.what;
    // Over: every later step is refused and sends nothing.
    const size_t sends = t.sends.size();
    EXPECT_EQ(sender.SendRecord(), Status::kOutOfOrder) << c.what;
    EXPECT_EQ(sender.SendTrailer(), Status::kOutOfOrder) << c.what;
    EXPECT_EQ(t.sends.size(), sends) << c.what;
  }
}

TEST(LoadProtocol, JudgedAnswersMustCarryTheirByte) {
  struct Case {
    const char* what;
    size_t replaceAt;  // index in the header script: 0 "HOSEI", 1..16 echoes, 17 handshake
    Answer answer;
    Status result;
    size_t sends;  // everything written
  };
  const Case cases[] = {
      {"no answer to HOSEI (not judged)", 0, kEmpty, Status::kOk, 1 + 16 + 2},
      {"wrong echo of byte 3", 3, Bytes{0x00}, Status::kWrongEcho, 1 + 3},
      {"missing echo of byte 3", 3, kEmpty, Status::kNoAnswer, 1 + 3},
      {"failed read of echo 1", 1, kFails, Status::kNoAnswer, 1 + 1},
      {"handshake refused", 17, Bytes{0x15}, Status::kRefused, 1 + 16 + 1},
      {"handshake missing", 17, kEmpty, Status::kNoAnswer, 1 + 16 + 1},
  };
  for (const Case& c : cases) {
    const Bytes table = MakeTable(1);
    ScriptedTransport t;
    ScriptHeader(t, table);
    t.script[c.replaceAt] = c.answer;
    loadproto::TableSender sender(t);
    ASSERT_TRUE(sender.Arm(table.data(), 1));
    ASSERT_EQ(sender.SendHosei(), Status::kOk);
    EXPECT_EQ(sender.SendHeader(), c.result) << c.what;
    EXPECT_EQ(t.sends.size(), c.sends) << c.what;
  }
}

TEST(LoadProtocol, TrailerAnswerDecides) {
  for (const auto& [answer, result] :
       std::vector<std::pair<Answer, Status>>{{Bytes{kAck}, Status::kDone},
                                              {Bytes{0x15}, Status::kRefused},
                                              {kEmpty, Status::kNoAnswer},
                                              {kFails, Status::kNoAnswer}}) {
    const Bytes table = MakeTable(1);
    ScriptedTransport t;
    ScriptHeader(t, table);
    t.script.push_back(Bytes{kAck});  // before record 1
    t.script.push_back(Bytes{kAck});  // to record 1
    t.script.push_back(answer);
    loadproto::TableSender sender(t);
    ASSERT_TRUE(sender.Arm(table.data(), 1));
    EXPECT_EQ(RunLoad(sender), result);
  }
}

TEST(LoadProtocol, StepsOutOfOrderAndBadTablesSendNothing) {
  const Bytes table = MakeTable(2);
  ScriptedTransport t;
  loadproto::TableSender sender(t);
  EXPECT_EQ(sender.SendHosei(), Status::kOutOfOrder);  // nothing armed
  EXPECT_FALSE(sender.Arm(nullptr, 2));
  EXPECT_FALSE(sender.Arm(table.data(), 0));
  EXPECT_EQ(sender.SendHosei(), Status::kOutOfOrder);
  ASSERT_TRUE(sender.Arm(table.data(), 2));
  EXPECT_EQ(sender.SendHeader(), Status::kOutOfOrder);
  EXPECT_EQ(sender.SendRecord(), Status::kOutOfOrder);
  EXPECT_EQ(sender.SendTrailer(), Status::kOutOfOrder);
  EXPECT_TRUE(t.sends.empty());
  EXPECT_EQ(t.receives, 0);
}

TEST(LoadProtocol, SendFailuresAreJudgedOnlyWhenAsked) {
  const Bytes table = MakeTable(1);
  for (const bool judge : {true, false}) {
    ScriptedTransport t;
    ScriptHeader(t, table);
    t.sendsWork = false;
    loadproto::TableSender sender(t, judge);
    ASSERT_TRUE(sender.Arm(table.data(), 1));
    ASSERT_EQ(sender.SendHosei(), Status::kOk);
    EXPECT_EQ(sender.SendHeader(), judge ? Status::kSendFailed : Status::kOk) << judge;
  }
  // The command line is always judged: no load starts without it.
  ScriptedTransport t;
  t.commandWorks = false;
  loadproto::TableSender sender(t, false);
  ASSERT_TRUE(sender.Arm(table.data(), 1));
  EXPECT_EQ(sender.SendHosei(), Status::kSendFailed);
  EXPECT_EQ(sender.SendHeader(), Status::kOutOfOrder);
}

}  // namespace
