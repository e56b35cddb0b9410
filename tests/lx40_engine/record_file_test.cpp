// The record file's lines: each appended whole, a fragment left by an
// earlier run never glued to the next line, and every line short enough
// (PIPE_BUF) to go into a pipe in one piece.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "mlink.h"
#include "record_file.h"
#include "unit_record.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class RecordFileTest : public testing::Test {
 protected:
  void SetUp() override {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    // A folder per test (parameterised names hold '/').
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = testing::TempDir() + "lx40-record-" + name;
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directories(dir_)) << dir_;
    path_ = dir_ + "/record.jsonl";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }

  std::string dir_;
  std::string path_;
};

struct AppendCase {
  const char* name;
  std::string before;
  std::string line;
  bool appended;
  std::string after;
};

class RecordFileAppendTest : public RecordFileTest,
                             public testing::WithParamInterface<AppendCase> {};

TEST_P(RecordFileAppendTest, AppendsOneWholeLineOrNothing) {
  const AppendCase& c = GetParam();
  Write(c.before);
  std::string error;
  const auto file = lx40::RecordFile::Open(path_, &error);
  ASSERT_NE(file, nullptr) << error;
  EXPECT_EQ(file->Append(c.line, &error), c.appended) << error;
  EXPECT_EQ(error.empty(), c.appended) << error;
  EXPECT_EQ(ReadAll(path_), c.after);
}

const std::string kLongest(lx40::RecordFile::kMaxLineBytes - 1, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordFileAppendTest,
    testing::Values(AppendCase{"Empty", "", "{}\n", true, "{}\n"},
                    AppendCase{"AfterALine", "{}\n", "{}\n", true, "{}\n{}\n"},
                    AppendCase{"AfterAFragment", "{\"a\":", "{}\n", true, "{\"a\":\n{}\n"},
                    AppendCase{"AfterABlankLine", "\n", "{}\n", true, "\n{}\n"},
                    AppendCase{"LongestLine", "", kLongest + "\n", true, kLongest + "\n"},
                    // The repairing line feed counts: the write stays whole.
                    AppendCase{"LongestLineAfterAFragment", "x", kLongest + "\n", false, "x"},
                    AppendCase{"TooLong", "{}\n", kLongest + "x\n", false, "{}\n"}),
    [](const testing::TestParamInfo<AppendCase>& param) { return param.param.name; });

// The biggest record a meter can cause: every text field as long as
// Meterlink's record holds, every byte escaped, a table in every slot, a
// long message and a station name (a computer name: at most 63 bytes on
// both systems) of bytes that are not UTF-8. The traceability fields at
// their longest are checked beside the record's keys (record_fields_test).
TEST(RecordLine, TheLongestRecordFitsInOnePipeWrite) {
  lx40::UnitRecord record;
  record.serial = std::string(MLINK_SERIAL_SIZE - 1, '\xff');
  record.model = std::string(sizeof(mlink_meter_info::model) - 1, '\x01');
  record.version = std::string(sizeof(mlink_meter_info::version) - 1, '\x80');
  record.station = std::string(63, '\xc3');
  record.started = record.finished = "2026-12-11T09:00:00.000Z";
  record.battery_ok = true;
  record.slots_before = record.slots_after = "1111111";
  for (uint16_t slot = 0; slot < MLINK_SLOT_COUNT; ++slot) {
    record.tables.push_back(lx40::TableRecord{65535, slot, 65535, 0xFFFF,
                                              lx40::TableOutcome::kNotRun, std::string(40, 'x'),
                                              std::string(64, 'f')});
  }
  record.code = -2147483647 - 1;
  record.message = std::string(400, '"');
  const std::string line = lx40::RecordLine(record);
  EXPECT_LT(line.size(), lx40::RecordFile::kMaxLineBytes) << line.size();
}

}  // namespace
