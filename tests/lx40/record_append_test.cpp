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
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 48);
  for (const char* serial : {"A1", "A8", "B1", "B8"}) {
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const Json& line) { return line.at("serial") == serial; }),
              3)
        << serial;
  }
}

}  // namespace
}  // namespace lx40test
