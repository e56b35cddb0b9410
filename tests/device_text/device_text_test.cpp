// Device text made safe to show: printable ASCII kept, every other byte
// escaped, the result bounded and never cut inside an escape.
#include "device_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
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

// Records keep the whole text: escaped, never cut.
TEST(DeviceText, EscapedKeepsEveryByteOfALongText) {
  const std::string raw = std::string(200, 'A') + "\xC3\x28";
  EXPECT_EQ(devtext::Escaped(raw), std::string(200, 'A') + "\\xC3(");
}

// Every byte, escaped and read back, is itself; different texts never
// look the same.
TEST(DeviceText, EveryByteComesBackFromItsEscapedForm) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const std::string escaped = devtext::Escaped(all);
  EXPECT_EQ(devtext::Unescape(escaped), all);
  std::set<std::string> shown;
  for (int byte = 0x80; byte < 0x100; ++byte) {
    shown.insert(devtext::Escaped("A" + std::string(1, static_cast<char>(byte))));
  }
  EXPECT_EQ(shown.size(), 0x80u);
}

struct TypedCase {
  std::string typed;
  std::optional<std::string> raw;
};

class DeviceTextTypedTest : public testing::TestWithParam<TypedCase> {};

TEST_P(DeviceTextTypedTest, WhatUsersTypeBecomesTheBytes) {
  EXPECT_EQ(devtext::Unescape(GetParam().typed), GetParam().raw);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceTextTypedTest,
                         testing::Values(TypedCase{"A12345678", "A12345678"}, TypedCase{"", ""},
                                         TypedCase{"A\\xE9B",
                                                   "A\xE9"
                                                   "B"},
                                         TypedCase{"\\xff\\x00", std::string("\xff\0", 2)},
                                         TypedCase{"C:\\x5Cp", "C:\\p"},
                                         TypedCase{"\\xAbz", "\xABz"},
                                         TypedCase{"A\\", std::nullopt},
                                         TypedCase{"A\\x4", std::nullopt},
                                         TypedCase{"A\\x4G", std::nullopt},
                                         TypedCase{"A\\n", std::nullopt}, TypedCase{"\\X41", "A"}),
                         [](const testing::TestParamInfo<TypedCase>& param) {
                           return "Case" + std::to_string(param.index);
                         });

}  // namespace
