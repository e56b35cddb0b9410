#include "formats/decimal_parse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace meterlink {
namespace {

struct IntegerCase {
  std::string_view text;
  std::optional<int32_t> expected;
};

class ParseDecimalIntegerTest : public testing::TestWithParam<IntegerCase> {};

TEST_P(ParseDecimalIntegerTest, ParsesWholeFieldOrFails) {
  const IntegerCase& c = GetParam();
  EXPECT_EQ(ParseDecimalInteger(c.text), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDecimalIntegerTest,
    testing::Values(IntegerCase{"1310", 1310}, IntegerCase{"+01310", 1310},
                    IntegerCase{"-01050", -1050}, IntegerCase{"0", 0}, IntegerCase{"-0", 0},
                    IntegerCase{"+00010", 10},
                    IntegerCase{"2147483647", std::numeric_limits<int32_t>::max()},
                    IntegerCase{"-2147483648", std::numeric_limits<int32_t>::min()},
                    IntegerCase{"2147483648", std::nullopt},
                    IntegerCase{"-2147483649", std::nullopt},
                    IntegerCase{"99999999999999999999", std::nullopt},
                    IntegerCase{"00000000000000000000000000000042", 42},  // 32 characters
                    IntegerCase{"000000000000000000000000000000042", std::nullopt},  // 33
                    IntegerCase{"", std::nullopt}, IntegerCase{"+", std::nullopt},
                    IntegerCase{"-", std::nullopt}, IntegerCase{"+-5", std::nullopt},
                    IntegerCase{"--5", std::nullopt}, IntegerCase{" 5", std::nullopt},
                    IntegerCase{"5 ", std::nullopt}, IntegerCase{"1310nm", std::nullopt},
                    IntegerCase{"12.5", std::nullopt}, IntegerCase{"0x10", std::nullopt},
                    IntegerCase{"ABS", std::nullopt}, IntegerCase{"1e3", std::nullopt},
                    IntegerCase{std::string_view("13\0"
                                                 "10",
                                                 5),
                                std::nullopt}));

struct RealCase {
  std::string_view text;
  std::optional<float> expected;
};

class ParseDecimalRealTest : public testing::TestWithParam<RealCase> {};

TEST_P(ParseDecimalRealTest, ParsesWholeFieldOrFails) {
  const RealCase& c = GetParam();
  const std::optional<float> got = ParseDecimalReal(c.text);
  ASSERT_EQ(got.has_value(), c.expected.has_value()) << '"' << c.text << '"';
  if (got) {
    EXPECT_EQ(*got, *c.expected) << '"' << c.text << '"';  // the nearest float, exactly
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseDecimalRealTest,
    testing::Values(RealCase{"+01.234", 1.234f}, RealCase{"-01.234", -1.234f},
                    RealCase{"1.234", 1.234f}, RealCase{"19.999", 19.999f}, RealCase{"0", 0.0f},
                    RealCase{"12", 12.0f}, RealCase{".5", 0.5f}, RealCase{"3.", 3.0f},
                    RealCase{"-0.001", -0.001f}, RealCase{"0.1", 0.1f},
                    RealCase{"000.000123", 0.000123f}, RealCase{"1234567.125", 1234567.125f},
                    RealCase{"16777217", 16777216.0f},
                    RealCase{"3.14159265358979323846264338327", 3.14159265f},  // 31 characters
                    RealCase{"12345678901234567890123456789012", 1.2345678901234567e31f},  // 32
                    RealCase{"0.0000000000000000000000000000001", std::nullopt},  // 33 characters
                    RealCase{"", std::nullopt}, RealCase{"+", std::nullopt},
                    RealCase{".", std::nullopt}, RealCase{"-.", std::nullopt},
                    RealCase{"1.2.3", std::nullopt}, RealCase{"1,234", std::nullopt},
                    RealCase{"1e3", std::nullopt}, RealCase{"1.5E+00", std::nullopt},
                    RealCase{" 1.5", std::nullopt}, RealCase{"1.5 ", std::nullopt},
                    RealCase{"nan", std::nullopt}, RealCase{"inf", std::nullopt},
                    RealCase{"+-1", std::nullopt}, RealCase{"0x1p3", std::nullopt},
                    RealCase{"1.5mW", std::nullopt},
                    RealCase{std::string_view("1.\0"
                                              "5",
                                              4),
                             std::nullopt}));

TEST(ParseDecimalRealTest, ThreeDecimalValuesComeBackAsTheNearestFloat) {
  // Every three-decimal field from -19.999 to 19.999.
  for (int n = -19999; n <= 19999; ++n) {
    const int magnitude = n < 0 ? -n : n;
    char text[8];
    text[0] = n < 0 ? '-' : '+';
    text[1] = static_cast<char>('0' + magnitude / 10000);
    text[2] = static_cast<char>('0' + magnitude / 1000 % 10);
    text[3] = '.';
    text[4] = static_cast<char>('0' + magnitude / 100 % 10);
    text[5] = static_cast<char>('0' + magnitude / 10 % 10);
    text[6] = static_cast<char>('0' + magnitude % 10);
    text[7] = '\0';
    const std::optional<float> got = ParseDecimalReal(std::string_view(text, 7));
    ASSERT_TRUE(got.has_value()) << text;
    ASSERT_EQ(*got, static_cast<float>(n / 1000.0)) << text;
  }
}

}  // namespace
}  // namespace meterlink
