// Device text made safe to show: printable ASCII kept, every other byte
// escaped, the result bounded and never cut inside an escape.
#include "device_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string raw;
  size_t max_chars;
  std::string shown;
};

class DeviceTextTest : public testing::TestWithParam<Case> {};

TEST_P(DeviceTextTest, ShowsEscapedAndBounded) {
  const Case& c = GetParam();
  const std::string shown = devtext::ForDisplay(c.raw, c.max_chars);
  EXPECT_EQ(shown, c.shown);
  EXPECT_LE(shown.size(), c.max_chars);
  for (const char ch : shown) {
    EXPECT_TRUE(ch >= 0x20 && ch <= 0x7E) << static_cast<int>(static_cast<unsigned char>(ch));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceTextTest,
    testing::Values(Case{"A12345678", 120, "A12345678"}, Case{"", 120, ""},
                    Case{"A\x1b[2J", 120, "A\\x1B[2J"},
                    Case{std::string("A\0B", 3), 120, "A\\x00B"},
                    Case{"\r\n\t\x7f", 120, "\\x0D\\x0A\\x09\\x7F"},
                    Case{"\xff\xfe\x82\xa0", 120, "\\xFF\\xFE\\x82\\xA0"},
                    Case{"C:\\path", 120, "C:\\x5Cpath"},  // the escape itself is escaped
                    Case{"ABCDEFGHIJ", 10, "ABCDEFGHIJ"},  // exactly fits
                    Case{"ABCDEFGHIJK", 10, "ABCDEFG..."},
                    Case{"ABCDE\x01\x02", 10, "ABCDE..."},  // no half escape before the cut
                    Case{"AB\x01", 6, "AB\\x01"}, Case{"ABC\x01", 6, "ABC..."},
                    Case{"ABCD", 2, ""}),
    [](const testing::TestParamInfo<Case>& param) { return "Case" + std::to_string(param.index); });

TEST(DeviceText, LongHostileTextStaysWithinTheDefaultBound) {
  const std::string raw(100000, '\x1b');
  const std::string shown = devtext::ForDisplay(raw);
  EXPECT_LE(shown.size(), devtext::kDefaultMaxChars);
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
}

}  // namespace
