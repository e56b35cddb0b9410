// What a record says of who ran a unit and with which tables: the
// traceability options and their checks, the table's SHA-256, the record's
// keys and their order, and the length of its line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sha256.h"
#include "table_source.h"
#include "traceability.h"
#include "unit_record.h"

namespace {

using lx40::CheckTraceability;
using lx40::Traceability;
using lx40::TraceabilityOptions;

std::string Hex(const std::string& bytes) {
  return lx40::Sha256Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The test vectors of FIPS 180-4's examples, and lengths around the block
// and padding boundaries (55, 56, 63, 64, 65, 119, 120 bytes of the pattern
// (7 i + 3) mod 256, digests from another implementation).
std::string Pattern(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 7 + 3) & 0xFF));
  return bytes;
}

struct DigestCase {
  std::string input;
  const char* digest;
};

TEST(Sha256, KnownDigests) {
  const std::vector<DigestCase> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {Pattern(55), "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
      {Pattern(56), "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
      {Pattern(63), "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
      {Pattern(64), "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
      {Pattern(65), "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
      {Pattern(119), "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
      {Pattern(120), "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
  };
  for (const DigestCase& c : cases) {
    EXPECT_EQ(Hex(c.input), c.digest) << "length " << c.input.size();
  }
}

TEST(Sha256, CheckTableNamesTheBytesItChecked) {
  std::vector<lx40::SensorTable> tables = lx40::BuiltInSensorTables();
  ASSERT_EQ(tables.size(), 2u);
  for (lx40::SensorTable& table : tables) {
    table.sha256.clear();
    ASSERT_EQ(lx40::CheckTable(&table), MLINK_OK);
    EXPECT_EQ(table.sha256, lx40::Sha256Hex(table.bytes.data(), table.bytes.size()));
  }
  EXPECT_NE(tables[0].sha256, tables[1].sha256);
}

struct SourceCase {
  std::string origin;
  std::string name;
};

TEST(TableSource, SourceIsTheFilesNameShortAndPrintable) {
  const std::vector<SourceCase> cases = {
      {"built-in", "built-in"},
      {"a.bin", "a.bin"},
      {"/tmp/tables/8010.bin", "8010.bin"},
      {"C:\\line 3\\tables\\8011.bin", "8011.bin"},
      {"dir/" + std::string(80, 'x') + ".bin", std::string(lx40::kMaxSourceName, 'x')},
      {"t\x01\xC3\xA9.bin", "t???.bin"},
      {"say \"hi\".bin", "say ?hi?.bin"},
  };
  for (const SourceCase& c : cases) {
    lx40::SensorTable table;
    table.origin = c.origin;
    EXPECT_EQ(lx40::SourceName(table), c.name) << c.origin;
  }
}

struct BadTraceCase {
  const char* name;
  TraceabilityOptions options;
  const char* error_start;
};

TraceabilityOptions Operator(std::string text) {
  TraceabilityOptions options;
  options.operator_name = std::move(text);
  return options;
}
TraceabilityOptions WorkOrder(std::string text) {
  TraceabilityOptions options;
  options.work_order = std::move(text);
  return options;
}
TraceabilityOptions Lot(std::string text) {
  TraceabilityOptions options;
  options.lot = std::move(text);
  return options;
}
TraceabilityOptions Meta(std::vector<std::string> pairs) {
  TraceabilityOptions options;
  options.meta = std::move(pairs);
  return options;
}

TEST(Traceability, BadValuesAreRefusedNamingTheOption) {
  std::vector<std::string> too_many;
  for (size_t i = 0; i <= lx40::kMaxMetaPairs; ++i)
    too_many.push_back("k" + std::to_string(i) + "=v");
  const std::vector<BadTraceCase> cases = {
      {"empty operator", Operator(""), "--operator"},
      {"operator of 65", Operator(std::string(65, 'o')), "--operator"},
      {"operator with a tab", Operator("Ann\tLee"), "--operator"},
      {"operator with a control byte", Operator("Ann\x01"), "--operator"},
      {"operator beyond ASCII", Operator("Ren\xC3\xA9"), "--operator"},
      {"operator with DEL", Operator("Ann\x7F"), "--operator"},
      {"work order with a line feed", WorkOrder("WO\n1"), "--work-order"},
      {"work order of 65", WorkOrder(std::string(65, 'w')), "--work-order"},
      {"empty lot", Lot(""), "--lot"},
      {"lot with a NUL", Lot(std::string("L\0t", 3)), "--lot"},
      {"meta without =", Meta({"shift"}), "--meta must be KEY=VALUE"},
      {"meta without key", Meta({"=night"}), "--meta must be KEY=VALUE"},
      {"meta key with a space", Meta({"my key=1"}), "--meta must be KEY=VALUE"},
      {"meta key with a quote", Meta({"k\"=1"}), "--meta must be KEY=VALUE"},
      {"meta value non-printable", Meta({"k=\x1B[2J"}), "--meta must be 1 to 64"},
      {"meta of 65", Meta({"k=" + std::string(63, 'v')}), "--meta must be 1 to 64"},
      {"empty meta", Meta({""}), "--meta must be 1 to 64"},
      {"meta key twice", Meta({"line=1", "line=2"}), "--meta line given twice"},
      {"too many meta", Meta(too_many), "--meta may be given at most"},
  };
  for (const BadTraceCase& c : cases) {
    Traceability trace;
    trace.lot = "kept";
    const std::string error = CheckTraceability(c.options, &trace);
    EXPECT_EQ(error.rfind(c.error_start, 0), 0u) << c.name << ": " << error;
    EXPECT_EQ(trace.lot, "kept") << c.name << ": nothing is taken from a bad set";
  }
}

TEST(Traceability, GoodValuesAreKeptAsGivenInOrder) {
  TraceabilityOptions options;
  options.operator_name = std::string(64, 'o');
  options.work_order = "WO-2026/12 #7 \"rush\"";
  options.meta = {"line=3", "fixture.id=F-1=a", "empty=", "k_-.9=" + std::string(58, '~')};
  Traceability trace;
  ASSERT_EQ(CheckTraceability(options, &trace), "");
  EXPECT_EQ(trace.operator_name, std::string(64, 'o'));
  EXPECT_EQ(trace.work_order, "WO-2026/12 #7 \"rush\"");
  EXPECT_FALSE(trace.lot.has_value());
  const std::vector<std::pair<std::string, std::string>> meta = {
      {"line", "3"}, {"fixture.id", "F-1=a"}, {"empty", ""}, {"k_-.9", std::string(58, '~')}};
  EXPECT_EQ(trace.meta, meta);
}

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

TEST(UnitRecordKeys, TraceabilityFollowsTheEarlierKeysInOrder) {
  lx40::UnitRecord record;
  record.serial = "A1";
  record.tables.push_back(lx40::TableRecord{8010, 0, 10, 0xBEEF, lx40::TableOutcome::kWritten,
                                            "built-in", std::string(64, 'a')});
  record.trace.operator_name = "Ann";
  record.trace.meta = {{"shift", "night"}, {"line", "3"}};
  record.tool = lx40::ToolText();
  const nlohmann::ordered_json json = lx40::RecordJson(record);
  const std::vector<std::string> keys = {
      "serial",  "model",        "version",     "port",   "station", "started", "finished",
      "battery", "slots_before", "slots_after", "tables", "result",  "code",    "message",
      "bay",     "operator",     "work_order",  "lot",    "meta",    "tool"};
  EXPECT_EQ(Keys(json), keys);
  const std::vector<std::string> table_keys = {"type",    "slot",   "records", "crc",
                                               "outcome", "source", "sha256"};
  EXPECT_EQ(Keys(json["tables"][0]), table_keys);
  EXPECT_EQ(json["tables"][0]["source"], "built-in");
  EXPECT_EQ(json["tables"][0]["sha256"], std::string(64, 'a'));
  EXPECT_TRUE(json["bay"].is_null());
  EXPECT_EQ(json["operator"], "Ann");
  EXPECT_TRUE(json["work_order"].is_null());
  EXPECT_TRUE(json["lot"].is_null());
  EXPECT_EQ(Keys(json["meta"]), (std::vector<std::string>{"shift", "line"}));
  EXPECT_EQ(json["meta"]["shift"], "night");
  EXPECT_EQ(json["tool"].get<std::string>().rfind("lx40 ", 0), 0u);
  // No meta given: an empty object, not null.
  EXPECT_TRUE(lx40::RecordJson(lx40::UnitRecord{})["meta"].is_object());
}

// Room kept for what a station adds (the meter's port) to the longest line.
constexpr size_t kRoomForPort = 160;

TEST(UnitRecordKeys, LongestRecordLineStaysUnderAPipesAtomicWrite) {
  lx40::UnitRecord record;
  // Device fields at their longest, in bytes that each take the longest
  // escape; the computer's name at a host name's longest; the longest text
  // the record's message is (the wizard's words, or a result code's), with
  // room to spare.
  record.serial = std::string(MLINK_SERIAL_SIZE - 1, '\xFF');
  record.model = std::string(29, '\xFF');
  record.version = std::string(4, '\xFF');
  record.station = std::string(63, 'h');
  record.started = "2026-12-11T09:55:49.123Z";
  record.finished = record.started;
  record.battery_ok = true;
  record.slots_before = "0000000";
  record.slots_after = "1111111";
  record.message = std::string(160, 'm');
  record.result = lx40::UnitResult::kCancelled;
  record.code = -2147483647 - 1;
  for (uint16_t slot = 0; slot < 7; ++slot) {
    record.tables.push_back(
        lx40::TableRecord{65535, slot, 65535, 0xFFFF, lx40::TableOutcome::kNotRun,
                          std::string(lx40::kMaxSourceName, 'n'), std::string(64, 'f')});
  }
  record.bay = std::string(lx40::kMaxTraceText, '"');
  const std::string longest(lx40::kMaxTraceText, '"');
  TraceabilityOptions options;
  options.operator_name = longest;
  options.work_order = longest;
  options.lot = longest;
  for (size_t i = 0; i < lx40::kMaxMetaPairs; ++i) {
    options.meta.push_back(std::to_string(i) + "=" + std::string(lx40::kMaxTraceText - 2, '\\'));
  }
  ASSERT_EQ(CheckTraceability(options, &record.trace), "");
  record.tool = lx40::ToolText();
  const std::string line = lx40::RecordLine(record);
  EXPECT_LT(line.size() + kRoomForPort, 4096u) << line.size();
  EXPECT_TRUE(nlohmann::json::accept(line));
}

}  // namespace
