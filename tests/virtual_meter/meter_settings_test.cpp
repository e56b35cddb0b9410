// The meter's measurement and settings commands, driven directly through
// its pipe endpoint: replies to queries, accepted settings, refusals, the
// resets, the reading with its units, marks, hold and relative modes, and
// the correction by a loaded sensor data table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "meter/meter_coefficients.h"
#include "meter/meter_numbers.h"
#include "meter/meter_reading.h"
#include "meter/virtual_meter.h"
#include "meter_host.h"
#include "settings_records.h"

namespace {

using meter_test::Ask;
using usbsim::MeterConfig;
using usbsim::VirtualMeter;

// The reply text without its CR; "" when the CR is missing.
std::string Reply(VirtualMeter& meter, const std::string& command) {
  const std::string answer = Ask(meter, command);
  if (answer.empty() || answer.back() != '\r') return "<no CR>" + answer;
  return answer.substr(0, answer.size() - 1);
}

// --- One command, one reply --------------------------------------------------

struct ExchangeCase {
  const char* name;
  std::function<void(MeterConfig&)> configure;
  std::vector<const char*> setup;  // commands sent first, each expected "OK"
  const char* command;
  const char* reply;
};

class SettingsExchangeTest : public testing::TestWithParam<ExchangeCase> {};

TEST_P(SettingsExchangeTest, Replies) {
  MeterConfig config;
  if (GetParam().configure) GetParam().configure(config);
  VirtualMeter meter(config);
  for (const char* command : GetParam().setup) ASSERT_EQ(Reply(meter, command), "OK") << command;
  EXPECT_EQ(Reply(meter, GetParam().command), GetParam().reply);
}

const std::vector<ExchangeCase> kExchangeCases = {
    // Queries at power-on.
    {"Mode", nullptr, {}, "GET_MODE", "+01310,ABS,OFF,AUTO,DB"},
    {"Wavelength", nullptr, {}, "GET_WAVELEN", "1310,1.000"},
    {"ListEntry0", nullptr, {}, "GET_WAVELEN:0", "850,1.000"},
    {"ListEntry9", nullptr, {}, "GET_WAVELEN:9", "1625,1.000"},
    {"Ave", nullptr, {}, "GET_AVE", "10"},
    {"Range", nullptr, {}, "GET_RANGE", "0"},
    {"Aps", nullptr, {}, "GET_APS", "OFF"},
    {"Rel", nullptr, {}, "GET_REL", "+000009"},
    {"Sensor", nullptr, {}, "GET_SENSER", "LS-8010 300-1700NM"},
    {"Reading", nullptr, {}, "GET_MESRDATA", "-010009"},  // 0.1 mW = -10 dBm
    {"ConfiguredMode",
     [](MeterConfig& c) {
       c.settings.wavelength_nm = 850;
       c.settings.relative = usbsim::RelativeMode::kRel1;
       c.settings.hold = usbsim::HoldMode::kAve;
       c.settings.range_mode = usbsim::RangeMode::kManual;
     },
     {},
     "GET_MODE",
     "+00850,REL1,AVE,MANU,DB"},
    {"NegativeListValue",
     [](MeterConfig& c) {
       c.wave_list[3] = {1300, -250};
     },
     {},
     "GET_WAVELEN:3",
     "1300,-0.250"},
    // Settings accepted, then read back.
    {"SetMode", nullptr, {"SET_MODE:+01550,ABS,MAX,MANU,W"}, "GET_MODE", "+01550,ABS,MAX,MANU,W"},
    {"SetModeTakesListValue",
     [](MeterConfig& c) {
       c.wave_list[7] = {1550, 1234};
     },
     {"SET_MODE:+01550,ABS,OFF,AUTO,DB"},
     "GET_WAVELEN",
     "1550,1.234"},
    {"SetWavelength", nullptr, {"SET_WAVELEN:+1490,+01.234"}, "GET_WAVELEN", "1490,1.234"},
    {"SetWavelengthNegativeValue",
     nullptr,
     {"SET_WAVELEN:+1490,-00.500"},
     "GET_WAVELEN",
     "1490,-0.500"},
    {"SetWavelengthUpdatesList",
     nullptr,
     {"SET_WAVELEN:+1490,+12.000"},
     "GET_WAVELEN:6",
     "1490,12.000"},
    {"SetWavelengthShowsInMode",
     nullptr,
     {"SET_WAVELEN:+0850,+01.000"},
     "GET_MODE",
     "+00850,ABS,OFF,AUTO,DB"},
    {"SetAve", nullptr, {"SET_AVE:+00250"}, "GET_AVE", "250"},
    {"SetRange",
     nullptr,
     {"SET_MODE:+01310,ABS,OFF,MANU,DB", "SET_RANGE:-00030"},
     "GET_RANGE",
     "-30"},
    {"SetApsOn", nullptr, {"SET_APS:ON"}, "GET_APS", "ON"},
    {"SetApsOff", nullptr, {"SET_APS:ON", "SET_APS:OFF"}, "GET_APS", "OFF"},
    {"SetRel1", nullptr, {"SET_REL1:-010509"}, "GET_REL", "-010509"},
    {"SetRel1Linear", nullptr, {"SET_REL1:+150003"}, "GET_REL", "+150003"},
    {"SetRel0TakesTheReading", nullptr, {"SET_REL0"}, "GET_REL", "-010009"},
    {"SetRel0InWatts",
     nullptr,
     {"SET_MODE:+01310,ABS,OFF,AUTO,W", "SET_REL0"},
     "GET_REL",
     "+100004"},
    // Resets.
    {"ResetSettings",
     nullptr,
     {"SET_MODE:+00850,REL0,MIN,MANU,DB", "SET_AVE:+00005", "SET_APS:ON", "RESET_SETDATA"},
     "GET_MODE",
     "+01310,ABS,OFF,AUTO,DB"},
    {"ResetSettingsAve", nullptr, {"SET_AVE:+00005", "RESET_SETDATA"}, "GET_AVE", "10"},
    {"ResetSettingsKeepsList",
     nullptr,
     {"SET_WAVELEN:+0850,+02.000", "RESET_SETDATA"},
     "GET_WAVELEN:0",
     "850,2.000"},
    {"ResetWavelengths",
     nullptr,
     {"SET_WAVELEN:+0850,+02.000", "RESET_WVLEN"},
     "GET_WAVELEN:0",
     "850,1.000"},
    {"ResetWavelengthsResyncsCurrent",
     nullptr,
     {"SET_WAVELEN:+1310,+02.000", "RESET_WVLEN"},
     "GET_WAVELEN",
     "1310,1.000"},
    // Malformed or out-of-range parameters.
    {"ModeFourParams", nullptr, {}, "SET_MODE:+01310,ABS,OFF,AUTO", "DATA_ERR"},
    {"ModeSixParams", nullptr, {}, "SET_MODE:+01310,ABS,OFF,AUTO,DB,X", "DATA_ERR"},
    {"ModeFourDigitWavelength", nullptr, {}, "SET_MODE:+1310,ABS,OFF,AUTO,DB", "DATA_ERR"},
    {"ModeUnsignedWavelength", nullptr, {}, "SET_MODE:001310,ABS,OFF,AUTO,DB", "DATA_ERR"},
    {"ModeKeywordInWrongPlace", nullptr, {}, "SET_MODE:+01310,OFF,ABS,AUTO,DB", "DATA_ERR"},
    {"ModeLowerCaseKeyword", nullptr, {}, "SET_MODE:+01310,ABS,OFF,auto,DB", "DATA_ERR"},
    {"ModeNoParams", nullptr, {}, "SET_MODE", "DATA_ERR"},
    {"WavelengthOneParam", nullptr, {}, "SET_WAVELEN:+1310", "DATA_ERR"},
    {"WavelengthFiveDigits", nullptr, {}, "SET_WAVELEN:+01310,+01.000", "DATA_ERR"},
    {"WavelengthValueWithoutPoint", nullptr, {}, "SET_WAVELEN:+1310,+01234", "DATA_ERR"},
    {"ListIndexTwoDigits", nullptr, {}, "GET_WAVELEN:10", "DATA_ERR"},
    {"ListIndexLetter", nullptr, {}, "GET_WAVELEN:a", "DATA_ERR"},
    {"ListIndexEmpty", nullptr, {}, "GET_WAVELEN:", "DATA_ERR"},
    {"AveZero", nullptr, {}, "SET_AVE:+00000", "DATA_ERR"},
    {"AveTooMany", nullptr, {}, "SET_AVE:+01001", "DATA_ERR"},
    {"AveShortField", nullptr, {}, "SET_AVE:10", "DATA_ERR"},
    {"RangeNotAStep", nullptr, {"SET_MODE:+01310,ABS,OFF,MANU,DB"}, "SET_RANGE:-00025", "DATA_ERR"},
    {"RangeTooHigh", nullptr, {"SET_MODE:+01310,ABS,OFF,MANU,DB"}, "SET_RANGE:+00020", "DATA_ERR"},
    {"ApsLowerCase", nullptr, {}, "SET_APS:on", "DATA_ERR"},
    {"ApsTwoParams", nullptr, {}, "SET_APS:ON,OFF", "DATA_ERR"},
    {"Rel1Short", nullptr, {}, "SET_REL1:+15000", "DATA_ERR"},
    {"Rel1Marked", nullptr, {}, "SET_REL1:H000000", "DATA_ERR"},
    {"Rel1NegativeLinear", nullptr, {}, "SET_REL1:-150003", "DATA_ERR"},
    {"Rel1BadExponent", nullptr, {}, "SET_REL1:+15000x", "DATA_ERR"},
    // Wavelengths outside the sensor's range.
    {"ModeWavelengthAbove", nullptr, {}, "SET_MODE:+01701,ABS,OFF,AUTO,DB", "WAVE_ERR"},
    {"ModeWavelengthBelow", nullptr, {}, "SET_MODE:+00299,ABS,OFF,AUTO,DB", "WAVE_ERR"},
    {"WavelengthAbove", nullptr, {}, "SET_WAVELEN:+2000,+01.000", "WAVE_ERR"},
    {"WavelengthNegative", nullptr, {}, "SET_WAVELEN:-1310,+01.000", "WAVE_ERR"},
    {"ModeWavelengthEdgesAccepted",
     nullptr,
     {"SET_MODE:+00300,ABS,OFF,AUTO,DB"},
     "SET_MODE:+01700,ABS,OFF,AUTO,DB",
     "OK"},
    // Not allowed in the current mode.
    {"RangeWhileAuto", nullptr, {}, "SET_RANGE:-00020", "MODE_ERR"},
    {"RelativeInWatts", nullptr, {}, "SET_MODE:+01310,REL1,OFF,AUTO,W", "MODE_ERR"},
    {"Rel0OfMarkedReading",
     [](MeterConfig& c) { c.input.power_mw = 50.0; },
     {},
     "SET_REL0",
     "MODE_ERR"},
    // No sensor.
    {"SensorMissing",
     [](MeterConfig& c) { c.sensor.present = false; },
     {},
     "GET_SENSER",
     "NO_SENSER"},
    {"Rel0WithoutSensor",
     [](MeterConfig& c) { c.sensor.present = false; },
     {},
     "SET_REL0",
     "NO_SENSER"},
    {"ReadingWithoutSensor",
     [](MeterConfig& c) { c.sensor.present = false; },
     {},
     "GET_MESRDATA",
     "N000009"},
    // Queries do not take parameters.
    {"ModeWithParam", nullptr, {}, "GET_MODE:1", "CMD_ERR"},
    {"ReadingWithParam", nullptr, {}, "GET_MESRDATA:", "CMD_ERR"},
    {"ResetWithParam", nullptr, {}, "RESET_SETDATA:1", "CMD_ERR"},
    {"LowerCaseWord", nullptr, {}, "get_mode", "CMD_ERR"},
};

INSTANTIATE_TEST_SUITE_P(Commands, SettingsExchangeTest, testing::ValuesIn(kExchangeCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(MeterSettings, RefusedSettingChangesNothing) {
  VirtualMeter meter(MeterConfig{});
  const usbsim::MeterSettings before = meter.Settings();
  for (const char* command : {"SET_MODE:+02000,REL0,MAX,MANU,DB", "SET_MODE:+01310,REL0,MAX,MANU,W",
                              "SET_WAVELEN:+2000,+05.000", "SET_AVE:+00000", "SET_RANGE:-00020"}) {
    EXPECT_NE(Reply(meter, command), "OK") << command;
  }
  const usbsim::MeterSettings after = meter.Settings();
  EXPECT_EQ(after, before);
}

// --- Readings ---------------------------------------------------------------------

struct ReadingCase {
  double power_mw;
  const char* db;
  const char* watts;
};

class ReadingTextTest : public testing::TestWithParam<ReadingCase> {};

TEST_P(ReadingTextTest, InDbmAndInMilliwatts) {
  MeterConfig config;
  config.input.power_mw = GetParam().power_mw;
  VirtualMeter meter(config);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), GetParam().db);
  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,ABS,OFF,AUTO,W"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), GetParam().watts);
}

INSTANTIATE_TEST_SUITE_P(Powers, ReadingTextTest,
                         testing::Values(ReadingCase{1.0, "+000009", "+100003"},
                                         ReadingCase{1.5, "+001769", "+150003"},
                                         ReadingCase{0.5, "-003019", "+050003"},
                                         ReadingCase{0.1, "-010009", "+100004"},
                                         ReadingCase{9.99, "+010009", "+099902"},
                                         ReadingCase{2.5e-6, "-056029", "+025008"},
                                         ReadingCase{2e-7, "-066999", "+002008"}));

TEST(MeterReading, LinearTextsUseTheSmallestExponentAboveEighteenHundred) {
  EXPECT_EQ(usbsim::LinearReadingText(0.0), "+000008");
  EXPECT_EQ(usbsim::LinearReadingText(1999.9), "+199990");
  EXPECT_EQ(usbsim::LinearReadingText(2000.0), std::nullopt);
  EXPECT_EQ(usbsim::LinearReadingText(-1.0), std::nullopt);
  EXPECT_EQ(usbsim::LinearReadingText(0.181), "+018103");
  EXPECT_EQ(usbsim::LinearReadingText(0.18), "+180004");
  EXPECT_EQ(usbsim::DbReadingText(-199.99), "-199999");
  EXPECT_EQ(usbsim::DbReadingText(200.0), std::nullopt);
  EXPECT_EQ(usbsim::DbReadingText(-0.004), "+000009");  // no negative zero
}

struct MarkCase {
  const char* name;
  std::function<void(MeterConfig&)> configure;
  const char* reading;
};

class MarkTest : public testing::TestWithParam<MarkCase> {};

TEST_P(MarkTest, MarkedReading) {
  MeterConfig config;
  GetParam().configure(config);
  VirtualMeter meter(config);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), GetParam().reading);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, MarkTest,
    testing::Values(
        MarkCase{"OverloadDb", [](MeterConfig& c) { c.input.power_mw = 20.5; }, "O000009"},
        MarkCase{"OverloadW",
                 [](MeterConfig& c) {
                   c.input.power_mw = 20.5;
                   c.settings.unit = usbsim::PowerUnit::kWatt;
                 },
                 "O000000"},
        MarkCase{"OverloadLimitConfigured",
                 [](MeterConfig& c) {
                   c.sensor.overload_mw = 0.05;
                   c.input.power_mw = 0.1;
                 },
                 "O000009"},
        MarkCase{"OverAutoRange", [](MeterConfig& c) { c.input.power_mw = 10.5; }, "H000009"},
        MarkCase{"OverManualRange",
                 [](MeterConfig& c) {
                   c.settings.range_mode = usbsim::RangeMode::kManual;
                   c.settings.range_dbm = -20;
                 },
                 "H000009"},
        MarkCase{"UnderManualRange",
                 [](MeterConfig& c) {
                   c.settings.range_mode = usbsim::RangeMode::kManual;
                   c.settings.range_dbm = 10;
                   c.input.power_mw = 5e-5;  // -43 dBm, floor -40 dBm
                 },
                 "L000009"},
        MarkCase{"UnderSensorFloor", [](MeterConfig& c) { c.input.power_mw = 5e-8; }, "L000009"},
        MarkCase{"NoLight", [](MeterConfig& c) { c.input.power_mw = 0.0; }, "L000009"},
        MarkCase{"LightOutsideSensorRange", [](MeterConfig& c) { c.input.wavelength_nm = 1800; },
                 "L000009"},
        MarkCase{"NoSensorInWatts",
                 [](MeterConfig& c) {
                   c.sensor.present = false;
                   c.settings.unit = usbsim::PowerUnit::kWatt;
                 },
                 "N000000"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(MeterReading, OpticalInputCanChangeWhileRunning) {
  VirtualMeter meter(MeterConfig{});
  meter.SetOpticalInput(1.0, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+000009");
  meter.SetOpticalInput(50.0, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "O000009");
  meter.SetOpticalInput(1.0, 100);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "L000009");
}

TEST(MeterReading, RelativeModesShowDbAgainstTheReference) {
  MeterConfig config;
  config.input.power_mw = 1.0;
  VirtualMeter meter(config);
  ASSERT_EQ(Reply(meter, "SET_REL1:-010009"), "OK");  // -10 dBm
  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,REL1,OFF,AUTO,DB"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+010009");
  ASSERT_EQ(Reply(meter, "SET_REL1:+020003"), "OK");  // 0.2 mW as a linear reference
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+006999");
  ASSERT_EQ(Reply(meter, "SET_REL0"), "OK");
  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,REL0,OFF,AUTO,DB"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+000009");
  ASSERT_EQ(Reply(meter, "SET_REL1:+000008"), "OK");  // 0 mW: every reading infinitely above it
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "H000009");
}

TEST(MeterReading, HoldModes) {
  MeterConfig config;
  config.settings.unit = usbsim::PowerUnit::kWatt;
  VirtualMeter meter(config);
  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,ABS,MAX,AUTO,W"), "OK");
  meter.SetOpticalInput(1.0, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+100003");
  meter.SetOpticalInput(0.5, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+100003");  // the maximum is held

  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,ABS,MIN,AUTO,W"), "OK");  // a new hold starts afresh
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+050003");
  meter.SetOpticalInput(1.5, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+050003");

  ASSERT_EQ(Reply(meter, "SET_AVE:+00002"), "OK");
  ASSERT_EQ(Reply(meter, "SET_MODE:+01310,ABS,AVE,AUTO,W"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+150003");
  meter.SetOpticalInput(0.5, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+100003");  // (1.5 + 0.5) / 2
  meter.SetOpticalInput(0.7, 1310);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+060003");  // the last two: (0.5 + 0.7) / 2
}

// --- Sensor data tables -----------------------------------------------------------

// A table with float coefficients, packed big-endian by the test.
meter_test::Bytes TableWith(uint16_t slot, const std::vector<std::pair<uint16_t, float>>& records) {
  meter_test::Bytes table = meter_test::MakeTable(slot, static_cast<uint16_t>(records.size()));
  for (std::size_t r = 0; r < records.size(); ++r) {
    const std::size_t at = 16 + 6 * r;
    meter_test::PutU16(table, at, records[r].first);
    uint32_t bits = 0;
    std::memcpy(&bits, &records[r].second, sizeof bits);
    for (int i = 0; i < 4; ++i)
      table[at + 2 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(bits >> (24 - 8 * i));
  }
  meter_test::Reseal(table);
  return table;
}

TEST(MeterCorrection, LoadedTableMultipliesTheInputAtTheMetersWavelength) {
  MeterConfig config;
  config.input.power_mw = 1.0;
  config.settings.unit = usbsim::PowerUnit::kWatt;
  VirtualMeter meter(config);
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+100003");
  const meter_test::LoadAnswers answers =
      meter_test::LoadTable(meter, TableWith(4, {{1300, 2.0f}, {1320, 1.0f}}));
  ASSERT_EQ(answers.trailer_ack, meter_test::Bytes{0x55});
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+150003");  // halfway between 2.0 and 1.0
  ASSERT_EQ(Reply(meter, "SET_WAVELEN:+1300,+01.000"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+020002");
  ASSERT_EQ(Reply(meter, "SET_WAVELEN:+1321,+01.000"), "OK");
  EXPECT_EQ(Reply(meter, "GET_MESRDATA"), "+100003");  // outside the table: uncorrected
}

TEST(MeterCorrection, CoefficientLookup) {
  const std::vector<uint8_t> table = TableWith(0, {{400, 1.0f}, {410, 3.0f}, {420, 5.0f}});
  EXPECT_EQ(usbsim::TableCoefficient(table, 400), 1.0);
  EXPECT_EQ(usbsim::TableCoefficient(table, 420), 5.0);
  EXPECT_DOUBLE_EQ(*usbsim::TableCoefficient(table, 415), 4.0);
  EXPECT_EQ(usbsim::TableCoefficient(table, 399), std::nullopt);
  EXPECT_EQ(usbsim::TableCoefficient(table, 421), std::nullopt);
  // A record count beyond the bytes present is not read past the end.
  std::vector<uint8_t> cut(table.begin(), table.end() - 3);
  EXPECT_EQ(usbsim::TableCoefficient(cut, 400), std::nullopt);
  EXPECT_EQ(usbsim::TableCoefficient(std::vector<uint8_t>(5, 0), 400), std::nullopt);
  // A coefficient that is not a number is not used.
  EXPECT_EQ(usbsim::TableCoefficient(TableWith(0, {{400, std::nanf("")}}), 400), std::nullopt);
}

// --- Number fields ---------------------------------------------------------------

TEST(MeterNumbers, FieldsAreStrict) {
  EXPECT_EQ(usbsim::ParseSignedDigits("+01310", 5), 1310);
  EXPECT_EQ(usbsim::ParseSignedDigits("-00020", 5), -20);
  EXPECT_EQ(usbsim::ParseSignedDigits("01310", 5), std::nullopt);
  EXPECT_EQ(usbsim::ParseSignedDigits("+1310", 5), std::nullopt);
  EXPECT_EQ(usbsim::ParseSignedDigits("+13 0", 4), std::nullopt);
  EXPECT_EQ(usbsim::ParseThousandthsField("+01.234"), 1234);
  EXPECT_EQ(usbsim::ParseThousandthsField("-19.999"), -19999);
  EXPECT_EQ(usbsim::ParseThousandthsField("+1.234"), std::nullopt);
  EXPECT_EQ(usbsim::ParseThousandthsField("+01,234"), std::nullopt);
  EXPECT_EQ(usbsim::SignedDigits(-1050, 5), "-01050");
  EXPECT_EQ(usbsim::PlainThousandths(-5), "-0.005");
  EXPECT_EQ(usbsim::PlainThousandths(19999), "19.999");
}

}  // namespace
