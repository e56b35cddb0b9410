#include "formats/reading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {
namespace {

// ---- ParseReading ----------------------------------------------------------

struct ParseCase {
  std::string_view text;
  ReadingStatus status;
  float value;   // when kOk
  int exponent;  // when kOk
  ReadingMark mark;
};

class ParseReadingTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseReadingTest, ParsesOrReportsWhy) {
  const ParseCase& c = GetParam();
  const ParsedReading untouched{-123.0f, 42, ReadingMark::kNone};
  ParsedReading out = untouched;
  ASSERT_EQ(ParseReading(c.text, out), c.status) << c.text;
  if (c.status == ReadingStatus::kOk) {
    EXPECT_FLOAT_EQ(out.value, c.value) << c.text;
    EXPECT_EQ(out.exponent, c.exponent) << c.text;
    EXPECT_EQ(out.mark, c.mark) << c.text;
  } else {
    // A failed parse leaves the caller's record as it was.
    EXPECT_EQ(out.value, untouched.value);
    EXPECT_EQ(out.exponent, untouched.exponent);
  }
}

constexpr ReadingStatus kOk = ReadingStatus::kOk;
constexpr ReadingStatus kBad = ReadingStatus::kMalformed;
constexpr ReadingMark kNone = ReadingMark::kNone;

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseReadingTest,
    testing::Values(
        ParseCase{"+123453", kOk, 1.2345f, 3, kNone}, ParseCase{"-012349", kOk, -12.34f, 9, kNone},
        ParseCase{"+150003", kOk, 1.5f, 3, kNone}, ParseCase{"+000008", kOk, 0.0f, 8, kNone},
        ParseCase{"+199990", kOk, 1999.9f, 0, kNone},
        ParseCase{"+999998", kOk, 99999e-9f, 8, kNone},
        ParseCase{"-199999", kOk, -199.99f, 9, kNone},
        // Characters after index 6 are ignored.
        ParseCase{"+123453XYZ", kOk, 1.2345f, 3, kNone},
        ParseCase{"+123453,+1", kOk, 1.2345f, 3, kNone},
        // Marks: the sentinel, whatever follows.
        ParseCase{"H000000", kOk, kSentinelHigh, -1, ReadingMark::kHigh},
        ParseCase{"L------", kOk, kSentinelLow, -1, ReadingMark::kLow},
        ParseCase{"O99999Z", kOk, kSentinelOver, -1, ReadingMark::kOver},
        ParseCase{"N000000", ReadingStatus::kMarkN, 0, 0, kNone},
        ParseCase{"N12345X", ReadingStatus::kMarkN, 0, 0, kNone},
        // Not a reading.
        ParseCase{"", kBad, 0, 0, kNone}, ParseCase{"+12345", kBad, 0, 0, kNone},
        ParseCase{"H", kBad, 0, 0, kNone}, ParseCase{"N", kBad, 0, 0, kNone},
        ParseCase{std::string_view("+12\0"
                                   "453",
                                   7),
                  kBad, 0, 0, kNone},
        ParseCase{"+12345A", kBad, 0, 0, kNone}, ParseCase{"+12345:", kBad, 0, 0, kNone},
        ParseCase{"+12345 ", kBad, 0, 0, kNone}, ParseCase{"+12x453", kBad, 0, 0, kNone},
        ParseCase{"+ 12343", kBad, 0, 0, kNone}, ParseCase{"+-12343", kBad, 0, 0, kNone},
        ParseCase{"0123453", kBad, 0, 0, kNone}, ParseCase{" 123453", kBad, 0, 0, kNone},
        ParseCase{"h000000", kBad, 0, 0, kNone}, ParseCase{"X123453", kBad, 0, 0, kNone}));

TEST(ParseReadingTest, EveryLinearExponentUsesItsPowerOfTen) {
  ParsedReading out;
  for (int e = 0; e <= 8; ++e) {
    const std::string text = "+12345" + std::string(1, static_cast<char>('0' + e));
    ASSERT_EQ(ParseReading(text, out), ReadingStatus::kOk) << text;
    EXPECT_FLOAT_EQ(out.value, static_cast<float>(12345.0 * std::pow(10.0, -(e + 1)))) << text;
  }
}

// ---- ConvertReading --------------------------------------------------------

struct ConvertCase {
  std::string_view text;
  UnitCode requested;
  std::optional<float> value;  // empty: the request is impossible (-1)
  UnitCode unit;
};

class ConvertReadingTest : public testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertReadingTest, ConvertsToRequestedUnit) {
  const ConvertCase& c = GetParam();
  ParsedReading parsed;
  ASSERT_EQ(ParseReading(c.text, parsed), ReadingStatus::kOk) << c.text;
  const std::optional<ConvertedReading> got = ConvertReading(parsed, c.requested);
  ASSERT_EQ(got.has_value(), c.value.has_value()) << c.text << " as " << c.requested;
  if (got) {
    EXPECT_FLOAT_EQ(got->value, *c.value) << c.text << " as " << c.requested;
    EXPECT_EQ(got->unit, c.unit) << c.text << " as " << c.requested;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertReadingTest,
                         testing::Values(
                             // +12345 e3 = 1.2345 mW.
                             ConvertCase{"+123453", kUnitAutomatic, 1.2345f, kUnitMilliwatt},
                             ConvertCase{"+123453", kUnitMicrowatt, 1234.5f, kUnitMicrowatt},
                             ConvertCase{"+123453", kUnitMilliwatt, 1.2345f, kUnitMilliwatt},
                             ConvertCase{"+123453", kUnitWatt, 0.0012345f, kUnitWatt},
                             ConvertCase{"+123453", kUnitNanowatt, 1234500.0f, kUnitNanowatt},
                             ConvertCase{"+123453", kUnitDb, std::nullopt, 0},
                             ConvertCase{"+123453", 8, std::nullopt, 0},
                             ConvertCase{"+123453", 15, std::nullopt, 0},
                             ConvertCase{"+123453", -1, std::nullopt, 0},
                             // -01234 e9 = -12.34 dB.
                             ConvertCase{"-012349", kUnitDb, -12.34f, kUnitDb},
                             ConvertCase{"-012349", kUnitAutomatic, -12.34f, kUnitDb},
                             ConvertCase{"-012349", kUnitWatt, std::nullopt, 0},
                             ConvertCase{"-012349", kUnitMilliwatt, std::nullopt, 0},
                             ConvertCase{"-012349", kUnitMicrowatt, std::nullopt, 0},
                             ConvertCase{"-012349", kUnitNanowatt, std::nullopt, 0},
                             ConvertCase{"-012349", 0, std::nullopt, 0},
                             // Automatic unit for each exponent digit.
                             ConvertCase{"+123450", kUnitAutomatic, 1.2345f, kUnitWatt},
                             ConvertCase{"+123451", kUnitAutomatic, 123.45f, kUnitMilliwatt},
                             ConvertCase{"+123452", kUnitAutomatic, 12.345f, kUnitMilliwatt},
                             ConvertCase{"+123454", kUnitAutomatic, 123.45f, kUnitMicrowatt},
                             ConvertCase{"+123455", kUnitAutomatic, 12.345f, kUnitMicrowatt},
                             ConvertCase{"+123456", kUnitAutomatic, 1.2345f, kUnitMicrowatt},
                             ConvertCase{"+123457", kUnitAutomatic, 123.45f, kUnitNanowatt},
                             ConvertCase{"+123458", kUnitAutomatic, 12.345f, kUnitNanowatt},
                             // Sentinels come back unchanged with the requested unit untouched,
                             // whatever it is.
                             ConvertCase{"H000000", kUnitAutomatic, kSentinelHigh, kUnitAutomatic},
                             ConvertCase{"H000000", kUnitMicrowatt, kSentinelHigh, kUnitMicrowatt},
                             ConvertCase{"L000003", kUnitDb, kSentinelLow, kUnitDb},
                             ConvertCase{"O000009", kUnitWatt, kSentinelOver, kUnitWatt},
                             ConvertCase{"O000009", 99, kSentinelOver, 99}));

TEST(ConvertReadingTest, ExponentOutsideTheDigitsIsRefused) {
  EXPECT_FALSE(ConvertReading(ParsedReading{1.0f, 10, ReadingMark::kNone}, kUnitAutomatic));
  EXPECT_FALSE(ConvertReading(ParsedReading{1.0f, -1, ReadingMark::kNone}, kUnitMilliwatt));
}

// ---- EncodeReading ---------------------------------------------------------

struct EncodeCase {
  float value;
  UnitCode unit;
  std::optional<std::string_view> expected;  // empty: cannot be encoded
};

class EncodeReadingTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeReadingTest, EncodesOrFails) {
  const EncodeCase& c = GetParam();
  const std::optional<ReadingText> text = EncodeReading(c.value, c.unit);
  ASSERT_EQ(text.has_value(), c.expected.has_value()) << c.value << " unit " << c.unit;
  if (text) {
    EXPECT_EQ(text->view(), *c.expected) << c.value << " unit " << c.unit;
    EXPECT_EQ(std::string_view(text->c_str()), *c.expected);
  }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeReadingTest,
    testing::Values(
        EncodeCase{1.5f, kUnitMilliwatt, "+150003"}, EncodeCase{-10.5f, kUnitDb, "-010509"},
        EncodeCase{0.0f, kUnitMilliwatt, "+000008"}, EncodeCase{0.0f, kUnitWatt, "+000008"},
        EncodeCase{-0.0f, kUnitNanowatt, "+000008"}, EncodeCase{0.0015f, kUnitWatt, "+150003"},
        EncodeCase{1500.0f, kUnitMicrowatt, "+150003"},
        EncodeCase{1500000.0f, kUnitNanowatt, "+150003"},
        // The mantissa climbs above 1800 at the smallest exponent that allows it.
        EncodeCase{1.8f, kUnitMilliwatt, "+018002"}, EncodeCase{1.79f, kUnitMilliwatt, "+179003"},
        EncodeCase{180.0f, kUnitMilliwatt, "+018000"},
        EncodeCase{181.0f, kUnitMilliwatt, "+018100"},
        EncodeCase{1999.9f, kUnitMilliwatt, "+199990"}, EncodeCase{1.0f, kUnitNanowatt, "+010008"},
        EncodeCase{0.6f, kUnitNanowatt, "+006008"}, EncodeCase{0.0006f, kUnitNanowatt, "+000018"},
        EncodeCase{0.0004f, kUnitNanowatt, "+000008"},
        // 2000 mW and more have no five-digit mantissa.
        EncodeCase{2000.0f, kUnitMilliwatt, std::nullopt},
        EncodeCase{2.0f, kUnitWatt, std::nullopt}, EncodeCase{1e30f, kUnitWatt, std::nullopt},
        EncodeCase{std::numeric_limits<float>::max(), kUnitWatt, std::nullopt},
        // A negative linear value is refused, even a tiny one.
        EncodeCase{-1.0f, kUnitMilliwatt, std::nullopt},
        EncodeCase{-1e-12f, kUnitMilliwatt, std::nullopt},
        // dB: hundredths truncated toward zero.
        EncodeCase{0.0f, kUnitDb, "+000009"}, EncodeCase{12.349f, kUnitDb, "+012349"},
        EncodeCase{-12.349f, kUnitDb, "-012349"}, EncodeCase{199.99f, kUnitDb, "+199999"},
        EncodeCase{199.995f, kUnitDb, "+199999"}, EncodeCase{-199.995f, kUnitDb, "-199999"},
        EncodeCase{200.0f, kUnitDb, std::nullopt}, EncodeCase{-200.0f, kUnitDb, std::nullopt},
        // No digits for NaN or infinities.
        EncodeCase{kNaN, kUnitDb, std::nullopt}, EncodeCase{kNaN, kUnitMilliwatt, std::nullopt},
        EncodeCase{kInf, kUnitDb, std::nullopt}, EncodeCase{-kInf, kUnitWatt, std::nullopt},
        // Only units 9 to 13.
        EncodeCase{1.0f, kUnitAutomatic, std::nullopt}, EncodeCase{1.0f, 8, std::nullopt},
        EncodeCase{1.0f, 0, std::nullopt}, EncodeCase{1.0f, -1, std::nullopt}));

// ---- Round trips -----------------------------------------------------------

// The largest error that the text allows: half a unit of the mantissa's last
// digit (a quarter more for the float steps on the way), or for dB, whose
// hundredths are truncated, one whole hundredth plus the float's own error
// (-126.64 is stored as -126.63999..., which goes out as -126.63).
double Tolerance(const ParsedReading& parsed, UnitCode unit, float value) {
  if (unit == kUnitDb) return 0.01 + std::fabs(value) * 1e-6;
  const double step_mw = std::pow(10.0, -(parsed.exponent + 1));
  return 0.5 * step_mw * *LinearUnitFactor(unit) * 1.25;
}

TEST(ReadingRoundTripTest, EncodeThenParseGivesTheValueBackInEveryUnit) {
  int checked = 0;
  for (UnitCode unit = kUnitDb; unit <= kUnitNanowatt; ++unit) {
    const double factor = unit == kUnitDb ? 1.0 : *LinearUnitFactor(unit);
    // dB: -199.9 to 199.9 dB. Linear: 0 and 1e-10 to 1999 mW, in that unit.
    std::vector<double> values;
    if (unit == kUnitDb) {
      for (double v = -199.9; v <= 199.9; v += 0.37) values.push_back(v);
    } else {
      values.push_back(0.0);
      for (double mw = 1e-10; mw < 1999.0; mw *= 1.0731) values.push_back(mw * factor);
      values.push_back(1999.0 * factor);
    }
    for (double v : values) {
      const float value = static_cast<float>(v);
      const std::optional<ReadingText> text = EncodeReading(value, unit);
      ASSERT_TRUE(text.has_value()) << value << " unit " << unit;
      ASSERT_EQ(text->size(), kReadingLength);
      ParsedReading parsed;
      ASSERT_EQ(ParseReading(text->view(), parsed), ReadingStatus::kOk) << text->view();
      const std::optional<ConvertedReading> back = ConvertReading(parsed, unit);
      ASSERT_TRUE(back.has_value()) << text->view();
      EXPECT_EQ(back->unit, unit);
      EXPECT_NEAR(back->value, value, Tolerance(parsed, unit, value))
          << text->view() << " from " << value << " unit " << unit;

      if (unit != kUnitDb) {
        // The mantissa is above 1800 unless the exponent has reached 8.
        const int mantissa = std::stoi(std::string(text->view().substr(1, 5)));
        EXPECT_TRUE(mantissa > 1800 || parsed.exponent == 8) << text->view();
        EXPECT_LT(mantissa, 20000) << text->view();
      }
      // Asked for automatically, the unit follows the exponent and the value
      // is the same power.
      const std::optional<ConvertedReading> automatic = ConvertReading(parsed, kUnitAutomatic);
      ASSERT_TRUE(automatic.has_value());
      EXPECT_EQ(automatic->unit, *AutomaticUnitForExponent(parsed.exponent));
      if (unit != kUnitDb) {
        const double auto_in_unit = automatic->value / *LinearUnitFactor(automatic->unit) * factor;
        EXPECT_NEAR(auto_in_unit, back->value, std::fabs(back->value) * 1e-6 + 1e-30);
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 2000);
}

}  // namespace
}  // namespace meterlink
