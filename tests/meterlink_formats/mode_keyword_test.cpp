#include "formats/mode_keyword.h"

#include <gtest/gtest.h>

#include <string_view>

namespace meterlink {
namespace {

struct FindCase {
  std::string_view field;
  int32_t start;
  int32_t expected;
};

class FindModeKeywordTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindModeKeywordTest, FindsFirstEqualKeywordFromStart) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindModeKeyword(c.field, c.start), c.expected) << c.field << " from " << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindModeKeywordTest,
    testing::Values(FindCase{"OFF", 0, 3}, FindCase{"REL0", 3, -1}, FindCase{"REL0", 0, 0},
                    FindCase{"REL0", -1, 0}, FindCase{"ABS", -1, 2}, FindCase{"W", -1, 10},
                    FindCase{"W", 10, 10}, FindCase{"DB", 9, 9}, FindCase{"DB", 10, -1},
                    FindCase{"AUTO", 3, 8}, FindCase{"MANU", 7, 7}, FindCase{"AVE", 6, 6},
                    FindCase{"AVE", 7, -1},
                    // Whole field, case-sensitive.
                    FindCase{"off", 0, -1}, FindCase{"OF", 0, -1}, FindCase{"OFFX", 0, -1},
                    FindCase{" OFF", 0, -1}, FindCase{"", 0, -1}, FindCase{"Db", 0, -1},
                    FindCase{std::string_view("OFF\0", 4), 0, -1},
                    // Starts outside the table.
                    FindCase{"OFF", -7, 3}, FindCase{"W", 11, -1}, FindCase{"W", 1000, -1}));

TEST(FindModeKeywordTest, ChainedQueryFromEachPreviousIndex) {
  // How a "GET_MODE" reply +01310,ABS,OFF,AUTO,DB is read: each search starts
  // at the index that the previous one found.
  const int32_t relative = FindModeKeyword("ABS", 0);
  const int32_t hold = FindModeKeyword("OFF", relative);
  const int32_t range = FindModeKeyword("AUTO", hold);
  const int32_t unit = FindModeKeyword("DB", range);
  EXPECT_EQ(relative, kModeAbs);
  EXPECT_EQ(hold, kHoldOff);
  EXPECT_EQ(range, kRangeAuto);
  EXPECT_EQ(unit, kUnitKeywordDb);
  // A failed search (-1) lets the next one read the whole table again.
  EXPECT_EQ(FindModeKeyword("MAX", FindModeKeyword("bogus", 0)), kHoldMax);
}

TEST(ModeKeywordTextTest, EveryIndexRoundTripsAndOthersAreEmpty) {
  for (int32_t i = 0; i < kModeKeywordCount; ++i) {
    const auto text = ModeKeywordText(i);
    ASSERT_TRUE(text.has_value()) << i;
    EXPECT_EQ(FindModeKeyword(*text, -1), i);
  }
  EXPECT_EQ(ModeKeywordText(kHoldMin), "MIN");
  EXPECT_EQ(ModeKeywordText(kUnitKeywordW), "W");
  EXPECT_FALSE(ModeKeywordText(-1).has_value());
  EXPECT_FALSE(ModeKeywordText(kModeKeywordCount).has_value());
}

}  // namespace
}  // namespace meterlink
