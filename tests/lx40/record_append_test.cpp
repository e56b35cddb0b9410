// Two lx40 runs append to one record file at the same time: no line is torn
// or interleaved with another.
#include "lx40_fixture.h"

namespace lx40test {
namespace {

std::string EightMeters(char prefix) {
  std::string text;
  for (int i = 1; i <= 8; ++i)
    text += "[meter]\nserial = " + std::string(1, prefix) + std::to_string(i) + "\n";
  return text;
}

TEST_F(Lx40Test, TwoProcessesAppendingToOneRecordFileNeverTearALine) {
  const std::string record = Path("record.jsonl");
  WriteFile(Path("a.ini"), EightMeters('A'));
  WriteFile(Path("b.ini"), EightMeters('B'));
  for (int round = 0; round < 3; ++round) {
    const auto first =
        Start({"setup", "--record", record},
              {{"LX40_SIM_METERS", Path("a.ini")}, {"LX40_SETTLE_MS", "0"}}, "first");
    const auto second =
        Start({"setup", "--record", record, "--jobs", "3"},
              {{"LX40_SIM_METERS", Path("b.ini")}, {"LX40_SETTLE_MS", "0"}}, "second");
    EXPECT_EQ(first->Wait(), 0) << first->Err();
    EXPECT_EQ(second->Wait(), 0) << second->Err();
  }
  const std::string text = ReadFile(record);
  const std::vector<Json> lines = JsonLines(text);
  EXPECT_EQ(lines.size(), 48u);
  // Every line whole: 48 lines that are not blank. A line-feed repair that
  // races with the other run's append may leave a blank line, which
  // readers skip; it never glues two lines.
  size_t not_blank = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) ++not_blank;
    start = end + 1;
  }
  EXPECT_EQ(not_blank, 48u);
  EXPECT_EQ(text.back(), '\n');
  for (const char* serial : {"A1", "A8", "B1", "B8"}) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const Json& line) { return line.at("serial") == serial; }),
              3)
        << serial;
  }
}

}  // namespace
}  // namespace lx40test
