// The bays file: what is taken, and every way a file is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bays_file.h"

namespace lx40::station {
namespace {

TEST(BaysFile, TakesLabelAndPortPerLineAndSkipsCommentsAndBlankLines) {
  const std::string text =
      "# station 4, line B\n"
      "\n"
      "B1 1-2.1\n"
      "  B2\t1-2.2   # the corner bay\r\n"
      "B10 1-3\n"
      "   \n";
  std::vector<Bay> bays;
  std::string error;
  ASSERT_TRUE(ParseBays(text, &bays, &error)) << error;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"B1", "1-2.1"}, {"B2", "1-2.2"}, {"B10", "1-3"}};
  ASSERT_EQ(bays.size(), expected.size());
  for (size_t i = 0; i < bays.size(); ++i) {
    EXPECT_EQ(bays[i].label, expected[i].first);
    EXPECT_EQ(bays[i].port, expected[i].second);
  }
  EXPECT_EQ(BayOfPort(bays, "1-2.2"), 1u);
  EXPECT_FALSE(BayOfPort(bays, "1-2"));
}

TEST(BaysFile, RefusesWhatIsNotABaysFile) {
  struct Case {
    const char* text;
    const char* error_has;
  } cases[] = {
      {"B1 1-1\nB1 1-2\n", "line 2: bay B1 is given twice"},
      {"B1 1-1\nB2 1-1\n", "line 2: port 1-1 is bay B1 already"},
      {"B1\n", "line 1: expected a bay label and a port, found 1"},
      {"B1 1-1 extra\n", "found 3"},
      {"B1 1-1\nB\xC3\xA9 1-2\n", "line 2: a label or port must be printable ASCII"},
      {"B1 1-1\n\x01 1-2\n", "line 2"},
      {"B1 1-000000000000000000000000000000000\n", "at most 31"},
      {"# nothing here\n\n", "no bay"},
      {"", "no bay"},
  };
  for (const Case& c : cases) {
    std::vector<Bay> bays;
    std::string error;
    EXPECT_FALSE(ParseBays(c.text, &bays, &error)) << c.text;
    EXPECT_NE(error.find(c.error_has), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(BaysFile, TheTextWrittenReadsBackAsTheSameBays) {
  const std::vector<Bay> bays = {{"1", "1-4"}, {"2", "1-2.3"}, {"3", "2-1.1.7"}};
  std::vector<Bay> back;
  std::string error;
  ASSERT_TRUE(ParseBays(BaysText(bays), &back, &error)) << error;
  ASSERT_EQ(back.size(), bays.size());
  for (size_t i = 0; i < bays.size(); ++i) {
    EXPECT_EQ(back[i].label, bays[i].label);
    EXPECT_EQ(back[i].port, bays[i].port);
  }
}

TEST(BaysFile, AMissingFileIsAnError) {
  std::vector<Bay> bays;
  std::string error;
  EXPECT_FALSE(ReadBaysFile("/nonexistent/bays.txt", &bays, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lx40::station
