// The formats must give the same texts and numbers whatever the process
// locale: a meter always writes "." as its decimal point, and a host with a
// decimal-comma locale must not send "+01,234" or misread "1.234".
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/formats.h"

namespace meterlink {
namespace {

// Sets the first locale of `names` that the system has; empty if none.
std::string SetFirstAvailableLocale(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name) != nullptr) return name;
  }
  return {};
}

// Runs every format under the current locale and checks the results that
// the other tests establish under the "C" locale.
void ExpectLocaleIndependentResults() {
  EXPECT_EQ(FormatSigned(-1050, 5)->view(), "-01050");
  EXPECT_EQ(FormatThreeDecimal(1.234f)->view(), "+01.234");
  EXPECT_EQ(FormatThreeDecimal(-12.5f)->view(), "-12.500");
  EXPECT_EQ(EncodeReading(1.5f, kUnitMilliwatt)->view(), "+150003");
  EXPECT_EQ(EncodeReading(-10.5f, kUnitDb)->view(), "-010509");

  ParsedReading parsed;
  ASSERT_EQ(ParseReading("+123453", parsed), ReadingStatus::kOk);
  const std::optional<ConvertedReading> converted = ConvertReading(parsed, kUnitMicrowatt);
  ASSERT_TRUE(converted.has_value());
  EXPECT_FLOAT_EQ(converted->value, 1234.5f);

  EXPECT_EQ(ParseDecimalReal("+01.234"), 1.234f);
  EXPECT_EQ(ParseDecimalReal("-0.5"), -0.5f);
  EXPECT_FALSE(ParseDecimalReal("1,234").has_value());
  EXPECT_EQ(ParseDecimalInteger("+01310"), 1310);

  const ReplyFields fields = SplitReplyFields("1310,+01.234");
  ASSERT_EQ(fields.count(), 2u);
  EXPECT_EQ(ParseDecimalReal(*fields.Field(2)), 1.234f);
}

class LocaleTest : public testing::Test {
 protected:
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(LocaleTest, DecimalCommaLocaleChangesNothing) {
  // glibc names first, then the Windows (MinGW/Wine) ones.
  const std::string name = SetFirstAvailableLocale(
      {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252", "de-DE"});
  if (name.empty()) GTEST_SKIP() << "no decimal-comma locale is installed on this machine";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",") << name;
  ExpectLocaleIndependentResults();
}

TEST_F(LocaleTest, UtfLocaleChangesNothing) {
  const std::string name = SetFirstAvailableLocale({"C.UTF-8", "C.utf8", ".UTF8"});
  if (name.empty()) GTEST_SKIP() << "no C.UTF-8 locale on this machine";
  ExpectLocaleIndependentResults();
}

TEST_F(LocaleTest, CLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  ExpectLocaleIndependentResults();
}

}  // namespace
}  // namespace meterlink
