// Serial numbers with bytes outside printable ASCII, end to end: lx40 shows
// them as \xNN everywhere (terminal, JSON, record), two of them never look
// the same, and the form shown is the form a user types.
#include <algorithm>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

// As the simulator's meter file writes them; lx40 shows them the same way.
const std::vector<std::string> kOddSerials = {"A\\xE9", "A\\xE8", "\\x1B[2J", "B\\xC3\\xA9"};

std::string OddMeters() {
  std::string text;
  for (const std::string& serial : kOddSerials) text += "[meter]\nserial = " + serial + "\n";
  return text;
}

bool PrintableAsciiLines(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c != '\n' && (byte < 0x20 || byte > 0x7E)) return false;
  }
  return true;
}

std::vector<std::string> Serials(const std::vector<Json>& lines) {
  std::vector<std::string> serials;
  for (const Json& line : lines) serials.push_back(line.at("serial").get<std::string>());
  return serials;
}

TEST_F(Lx40Test, ListShowsEverySerialEscapedAndDistinct) {
  const auto env = Environment(OddMeters());
  ASSERT_EQ(Run({"list", "--json"}, env), 0) << Err();
  EXPECT_TRUE(PrintableAsciiLines(Out())) << Out();
  EXPECT_EQ(Serials(JsonLines(Out())), kOddSerials) << Out();

  ASSERT_EQ(Run({"list"}, env, "text"), 0) << Err("text");
  EXPECT_TRUE(PrintableAsciiLines(Out("text"))) << Out("text");
  for (const std::string& serial : kOddSerials) {
    EXPECT_NE(Out("text").find(serial + " "), std::string::npos) << serial << "\n" << Out("text");
  }
}

TEST_F(Lx40Test, SetupRecordsEverySerialWholeAndExact) {
  ASSERT_EQ(Run({"setup", "--record", Path("record.jsonl")}, Environment(OddMeters())), 0) << Err();
  const std::string record = ReadFile(Path("record.jsonl"));
  EXPECT_TRUE(PrintableAsciiLines(record)) << record;
  std::vector<std::string> serials = Serials(JsonLines(record));
  std::sort(serials.begin(), serials.end());
  std::vector<std::string> expected = kOddSerials;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(serials, expected);
  EXPECT_TRUE(PrintableAsciiLines(Out())) << Out();
}

// What users see they can type: the escaped form names the meter.
TEST_F(Lx40Test, SerialArgumentsTakeTheFormShown) {
  const auto env = Environment(OddMeters());
  // One meter at a time: the lines come in the order named.
  ASSERT_EQ(Run({"setup", "--json", "--jobs", "1", "A\\xE8", "B\\xc3\\xa9"}, env), 0) << Err();
  EXPECT_EQ(Serials(JsonLines(Out())), (std::vector<std::string>{"A\\xE8", "B\\xC3\\xA9"}));

  ASSERT_EQ(Run({"info", "A\\xE9", "--json"}, env, "info"), 0) << Err("info");
  const std::vector<Json> info = JsonLines(Out("info"));
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].at("serial"), "A\\xE9");

  EXPECT_EQ(Run({"info", "A\\xZ9"}, env, "bad"), 2);
  EXPECT_NE(Err("bad").find("a backslash must start \\xNN"), std::string::npos) << Err("bad");
  EXPECT_EQ(Run({"setup", "A\\xE7"}, env, "missing"), 3);
  EXPECT_NE(Err("missing").find("A\\xE7"), std::string::npos) << Err("missing");
}

}  // namespace
}  // namespace lx40test
