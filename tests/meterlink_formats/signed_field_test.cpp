#include "formats/signed_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace meterlink {
namespace {

struct SignedCase {
  int32_t value;
  int digits;
  std::optional<std::string_view> expected;  // empty: cannot be formatted
};

class FormatSignedTest : public testing::TestWithParam<SignedCase> {};

TEST_P(FormatSignedTest, WritesSignAndDigitsOrFails) {
  const SignedCase& c = GetParam();
  const std::optional<SignedField> field = FormatSigned(c.value, c.digits);
  ASSERT_EQ(field.has_value(), c.expected.has_value()) << c.value << " in " << c.digits;
  if (field) {
    EXPECT_EQ(field->view(), *c.expected);
    EXPECT_EQ(std::string_view(field->c_str()), *c.expected);  // NUL-terminated
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatSignedTest,
    testing::Values(SignedCase{123, 5, "+00123"}, SignedCase{-1050, 5, "-01050"},
                    SignedCase{1310, 4, "+1310"}, SignedCase{0, 5, "+00000"},
                    SignedCase{10, 5, "+00010"}, SignedCase{19999, 5, "+19999"},
                    SignedCase{-19999, 5, "-19999"}, SignedCase{20000, 5, std::nullopt},
                    SignedCase{-20000, 5, std::nullopt},
                    SignedCase{std::numeric_limits<int32_t>::min(), 5, std::nullopt},
                    SignedCase{std::numeric_limits<int32_t>::max(), 5, std::nullopt},
                    SignedCase{9999, 4, "+9999"}, SignedCase{-9999, 4, "-9999"},
                    // A magnitude that needs more digits than asked for is refused,
                    // not cut to its lowest digits.
                    SignedCase{10000, 4, std::nullopt}, SignedCase{12345, 4, std::nullopt},
                    SignedCase{7, 1, "+7"}, SignedCase{-7, 1, "-7"},
                    SignedCase{10, 1, std::nullopt}, SignedCase{5, 0, std::nullopt},
                    SignedCase{5, -1, std::nullopt}, SignedCase{5, 6, std::nullopt}));

struct ThreeDecimalCase {
  float value;
  std::optional<std::string_view> expected;
};

class FormatThreeDecimalTest : public testing::TestWithParam<ThreeDecimalCase> {};

TEST_P(FormatThreeDecimalTest, RoundsToThousandthsOrFails) {
  const ThreeDecimalCase& c = GetParam();
  const std::optional<ThreeDecimalField> field = FormatThreeDecimal(c.value);
  ASSERT_EQ(field.has_value(), c.expected.has_value()) << c.value;
  if (field) {
    EXPECT_EQ(field->view(), *c.expected) << c.value;
    EXPECT_EQ(std::string_view(field->c_str()), *c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatThreeDecimalTest,
    testing::Values(ThreeDecimalCase{1.234f, "+01.234"}, ThreeDecimalCase{0.0f, "+00.000"},
                    ThreeDecimalCase{-0.0f, "+00.000"}, ThreeDecimalCase{12.5f, "+12.500"},
                    // Rounding to the nearest thousandth, both ways.
                    ThreeDecimalCase{1.2344f, "+01.234"}, ThreeDecimalCase{1.2346f, "+01.235"},
                    ThreeDecimalCase{0.0005f, "+00.001"}, ThreeDecimalCase{0.0004f, "+00.000"},
                    // Negative values round symmetrically (not up by a thousandth).
                    ThreeDecimalCase{-1.234f, "-01.234"}, ThreeDecimalCase{-1.2346f, "-01.235"},
                    ThreeDecimalCase{-0.0004f, "+00.000"}, ThreeDecimalCase{-0.0006f, "-00.001"},
                    ThreeDecimalCase{-12.5f, "-12.500"},
                    // The edges of what the field carries.
                    ThreeDecimalCase{19.999f, "+19.999"}, ThreeDecimalCase{-19.999f, "-19.999"},
                    ThreeDecimalCase{19.9994f, "+19.999"}, ThreeDecimalCase{19.9996f, std::nullopt},
                    ThreeDecimalCase{-19.9996f, std::nullopt},
                    ThreeDecimalCase{20.0f, std::nullopt}, ThreeDecimalCase{-25.0f, std::nullopt},
                    ThreeDecimalCase{1e30f, std::nullopt},
                    ThreeDecimalCase{std::numeric_limits<float>::quiet_NaN(), std::nullopt},
                    ThreeDecimalCase{std::numeric_limits<float>::infinity(), std::nullopt},
                    ThreeDecimalCase{-std::numeric_limits<float>::infinity(), std::nullopt}));

}  // namespace
}  // namespace meterlink
