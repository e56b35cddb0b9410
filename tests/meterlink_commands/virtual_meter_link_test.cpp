// Meterlink's meter commands end to end against the virtual LX40 on the
// simulated bus: settings round trips, the meter's refusals as result codes,
// readings after a sensor data table is loaded, and the reading marks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter_commands.h"
#include "meterlink.h"
#include "settings_records.h"

namespace {

using Bytes = std::vector<uint8_t>;

class VirtualMeterLinkTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
  }

  // One meter on the bus, the device table open and the meter selected.
  std::shared_ptr<usbsim::VirtualMeter> Connect(usbsim::MeterConfig config = {}) {
    CloseAllDevice();
    usbsim::Bus& bus = usbsim::Bus::Instance();
    bus.Reset();
    const usbsim::NodeId root = bus.AddController(0, 4);
    config.serial = "A12345678";
    meter_ = usbsim::AttachMeter(root, 1, std::move(config)).meter;
    EXPECT_EQ(OpenAllDevice(), MLINK_OK);
    char serial[16] = "A12345678";
    EXPECT_EQ(SelectOneDevice(serial), MLINK_OK);
    meter_->ClearTranscript();
    return meter_;
  }

  // The command lines the host wrote since the last ClearTranscript.
  std::vector<std::string> CommandLines() const {
    std::vector<std::string> lines;
    for (const auto& entry : meter_->Transcript()) {
      if (entry.direction == usbsim::VirtualMeter::Direction::kHostToMeter) {
        lines.emplace_back(entry.bytes.begin(), entry.bytes.end());
      }
    }
    return lines;
  }

  std::shared_ptr<usbsim::VirtualMeter> meter_;
};

// A sensor data table with the test's own big-endian packing and CRC-16
// (0x1021, initial 0xFFFF).
Bytes MakeTable(uint16_t slot, const std::vector<std::pair<uint16_t, float>>& records) {
  Bytes t;
  auto u16 = [&t](uint16_t v) {
    t.push_back(static_cast<uint8_t>(v >> 8));
    t.push_back(static_cast<uint8_t>(v));
  };
  const auto n = static_cast<uint16_t>(records.size());
  u16(static_cast<uint16_t>(16 + 6 * n + 2));
  u16(n);
  u16(slot);
  u16(8099);
  for (int i = 0; i < 4; ++i) u16(records[0].first);
  for (const auto& [nm, coefficient] : records) {
    u16(nm);
    uint32_t bits = 0;
    std::memcpy(&bits, &coefficient, sizeof bits);
    for (int shift = 24; shift >= 0; shift -= 8) t.push_back(static_cast<uint8_t>(bits >> shift));
  }
  uint16_t crc = 0xFFFF;
  for (const uint8_t byte : t) {
    crc = static_cast<uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  u16(crc);
  return t;
}

// The first byte of the meter's next answer.
int Answer() {
  if (recvUSBBin(nullptr) != MLINK_OK) return -1;
  uint8_t byte = 0;
  return recvUSBBin(&byte) == MLINK_OK ? byte : -1;
}

// The "HOSEI" load through Meterlink's raw transfers; true when the meter
// accepted the trailer.
bool LoadTable(const Bytes& table) {
  if (USBComd_SendRecv("HOSEI", nullptr) != MLINK_OK) return false;
  Answer();
  for (std::size_t i = 0; i < 16; ++i) {
    sendUSBBin(table[i]);
    if (Answer() != table[i]) return false;
  }
  sendUSBBin(0x55);
  if (Answer() != 0x55) return false;
  sendUSBBin(0x55);
  for (std::size_t at = 16; at + 2 < table.size(); at += 6) {
    Answer();
    sendUSBBytes(table.data() + at, 6);
  }
  Answer();
  sendUSBBytes(table.data() + table.size() - 2, 2);
  return Answer() == 0x55;
}

Reading Measure(int32_t unit, int32_t* result = nullptr) {
  Reading r{0.0f, unit};
  const int32_t code = QUES_MeasData(&r);
  if (result != nullptr) *result = code;
  EXPECT_TRUE(result != nullptr || code == MLINK_OK) << code;
  return r;
}

TEST_F(VirtualMeterLinkTest, EveryCommandTextIsUnderstoodByTheMeter) {
  usbsim::MeterConfig config;
  config.input.power_mw = 0.005;  // inside the manual range of -20 dBm set below
  Connect(config);
  ModeSettings mode{1550, 2, 3, 7, 12};
  int32_t ave = 25;
  int32_t range = -20;
  WaveEntry wave{1490, 1.5f};
  int32_t aps = 1;
  const Reading reference{-10.5f, 9};
  EXPECT_EQ(SQ_Mode(0, &mode), MLINK_OK);
  EXPECT_EQ(SQ_Ave(0, &ave), MLINK_OK);
  EXPECT_EQ(SQ_Range(0, &range), MLINK_OK);
  EXPECT_EQ(SQ_Wave(0, &wave), MLINK_OK);
  EXPECT_EQ(SQ_Aps(0, &aps), MLINK_OK);
  EXPECT_EQ(SET_Rel1(&reference), MLINK_OK);
  EXPECT_EQ(SET_Rel0(), MLINK_OK);
  EXPECT_EQ(ResetAllData(), MLINK_OK);
  EXPECT_EQ(ResetAllWave(), MLINK_OK);
  EXPECT_THAT(CommandLines(),
              ::testing::ElementsAre("BTRY\n", "SET_MODE:+01550,ABS,OFF,MANU,W\n", "BTRY\n",
                                     "SET_AVE:+00025\n", "BTRY\n", "SET_RANGE:-00020\n", "BTRY\n",
                                     "SET_WAVELEN:+1490,+01.500\n", "BTRY\n", "SET_APS:ON\n",
                                     "BTRY\n", "SET_REL1:-010509\n", "BTRY\n", "SET_REL0\n",
                                     "BTRY\n", "RESET_SETDATA\n", "BTRY\n", "RESET_WVLEN\n"));
}

TEST_F(VirtualMeterLinkTest, SettingsRoundTrip) {
  Connect();
  ModeSettings mode{1550, 2, 4, 7, 11};
  ASSERT_EQ(SQ_Mode(0, &mode), MLINK_OK);
  ModeSettings read{};
  ASSERT_EQ(SQ_Mode(1, &read), MLINK_OK);
  EXPECT_EQ(read, (ModeSettings{1550, 2, 4, 7, 10}));  // unit 10: the keyword "W"

  int32_t value = 250;
  ASSERT_EQ(SQ_Ave(0, &value), MLINK_OK);
  value = 0;
  ASSERT_EQ(SQ_Ave(1, &value), MLINK_OK);
  EXPECT_EQ(value, 250);

  value = -30;
  ASSERT_EQ(SQ_Range(0, &value), MLINK_OK);
  value = 0;
  ASSERT_EQ(SQ_Range(1, &value), MLINK_OK);
  EXPECT_EQ(value, -30);

  WaveEntry wave{1490, -1.25f};
  ASSERT_EQ(SQ_Wave(0, &wave), MLINK_OK);
  wave = {};
  ASSERT_EQ(SQ_Wave(1, &wave), MLINK_OK);
  EXPECT_EQ(wave.wavelength, 1490);
  EXPECT_FLOAT_EQ(wave.value, -1.25f);

  for (int32_t on : {1, 0}) {
    int32_t aps = on;
    ASSERT_EQ(SQ_Aps(0, &aps), MLINK_OK);
    aps = 7;
    ASSERT_EQ(SQ_Aps(1, &aps), MLINK_OK);
    EXPECT_EQ(aps, on);
  }

  const Reading reference{1.5f, 11};
  ASSERT_EQ(SET_Rel1(&reference), MLINK_OK);
  Reading rel{0.0f, 14};
  ASSERT_EQ(QUES_Rel(&rel), MLINK_OK);
  EXPECT_FLOAT_EQ(rel.value, 1.5f);
  EXPECT_EQ(rel.unit, 11);
}

TEST_F(VirtualMeterLinkTest, WavelengthListAndItsReset) {
  usbsim::MeterConfig config;
  for (std::size_t i = 0; i < config.wave_list.size(); ++i) {
    config.wave_list[i] = {static_cast<int32_t>(1000 + 10 * i),
                           static_cast<int32_t>(100 * i) - 250};
  }
  Connect(config);
  WaveEntry entries[10] = {};
  ASSERT_EQ(QUES_AllWave(entries), MLINK_OK);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(entries[i].wavelength, 1000 + 10 * i);
    EXPECT_FLOAT_EQ(entries[i].value, 0.1f * static_cast<float>(i) - 0.25f);
  }
  // Setting a listed wavelength changes its value in the list; the reset
  // brings the list back.
  WaveEntry wave{1030, 9.875f};
  ASSERT_EQ(SQ_Wave(0, &wave), MLINK_OK);
  ASSERT_EQ(QUES_AllWave(entries), MLINK_OK);
  EXPECT_FLOAT_EQ(entries[3].value, 9.875f);
  ASSERT_EQ(ResetAllWave(), MLINK_OK);
  ASSERT_EQ(QUES_AllWave(entries), MLINK_OK);
  EXPECT_FLOAT_EQ(entries[3].value, 0.05f);
}

TEST_F(VirtualMeterLinkTest, ResetAllDataRestoresThePowerOnSettings) {
  Connect();
  ModeSettings mode{850, 2, 6, 7, 12};
  int32_t ave = 99;
  ASSERT_EQ(SQ_Mode(0, &mode), MLINK_OK);
  ASSERT_EQ(SQ_Ave(0, &ave), MLINK_OK);
  ASSERT_EQ(ResetAllData(), MLINK_OK);
  ModeSettings read{};
  ASSERT_EQ(SQ_Mode(1, &read), MLINK_OK);
  EXPECT_EQ(read.wavelength, 1310);
  EXPECT_EQ(read.hold, 3);
  EXPECT_EQ(read.rangeMode, 8);
  EXPECT_EQ(read.unit, 9);
  ASSERT_EQ(SQ_Ave(1, &ave), MLINK_OK);
  EXPECT_EQ(ave, 10);
}

TEST_F(VirtualMeterLinkTest, MetersRefusalsBecomeResultCodes) {
  Connect();
  ModeSettings outside{2000, 2, 3, 8, 9};  // beyond the sensor's 300-1700 nm
  EXPECT_EQ(SQ_Mode(0, &outside), MLINK_MODE_OR_NO_DATA);
  ModeSettings relativeInWatts{1310, 1, 3, 8, 11};
  EXPECT_EQ(SQ_Mode(0, &relativeInWatts), MLINK_MODE_OR_NO_DATA);
  int32_t range = -20;  // range mode is AUTO
  EXPECT_EQ(SQ_Range(0, &range), MLINK_MODE_OR_NO_DATA);
  range = -25;  // no such range
  EXPECT_EQ(SQ_Range(0, &range), MLINK_BAD_ARGUMENT);
  int32_t ave = 0;
  EXPECT_EQ(SQ_Ave(0, &ave), MLINK_BAD_ARGUMENT);
  WaveEntry wave{200, 1.0f};  // "WAVE_ERR", which only SQ_Mode maps
  EXPECT_EQ(SQ_Wave(0, &wave), MLINK_NOT_RECOGNISED);
  // Nothing was changed by the refusals.
  ModeSettings read{};
  ASSERT_EQ(SQ_Mode(1, &read), MLINK_OK);
  EXPECT_EQ(read.wavelength, 1310);
  EXPECT_EQ(read.relativeMode, 2);
}

TEST_F(VirtualMeterLinkTest, IdentificationAndSensor) {
  usbsim::MeterConfig config;
  config.maker = "Vantor";
  config.version = "203";
  config.sensor.description = "LS-8010 300-1700NM";
  Connect(config);
  IdnInfo info{};
  ASSERT_EQ(QUES_IDN(&info), MLINK_OK);
  EXPECT_STREQ(info.maker, "Vantor");
  EXPECT_STREQ(info.model, "LX40");
  EXPECT_STREQ(info.serial, "A12345678");
  EXPECT_STREQ(info.version, "2.03");
  char sensor[64] = {};
  ASSERT_EQ(QUES_Sensor(sensor), MLINK_OK);
  EXPECT_STREQ(sensor, "LS-8010 300-1700NM");

  usbsim::SensorConfig none;
  none.present = false;
  meter_->SetSensor(none);
  EXPECT_EQ(QUES_Sensor(sensor), MLINK_SENSOR_OR_MEMORY);
}

TEST_F(VirtualMeterLinkTest, ReadingInDbmAndInWatts) {
  usbsim::MeterConfig config;
  config.input = {0.5, 1310};  // -3.01 dBm
  Connect(config);
  Reading r = Measure(14);
  EXPECT_EQ(r.unit, 9);
  EXPECT_NEAR(r.value, -3.01f, 0.005f);

  ModeSettings watts{1310, 2, 3, 8, 11};
  ASSERT_EQ(SQ_Mode(0, &watts), MLINK_OK);
  r = Measure(14);
  EXPECT_EQ(r.unit, 11);
  EXPECT_FLOAT_EQ(r.value, 0.5f);
  r = Measure(12);
  EXPECT_FLOAT_EQ(r.value, 500.0f);
  meter_->SetOpticalInput(2.5e-6, 1310);
  r = Measure(14);
  EXPECT_EQ(r.unit, 13);
  EXPECT_FLOAT_EQ(r.value, 2.5f);
  int32_t result = 0;
  r = Measure(9, &result);
  EXPECT_EQ(result, MLINK_BAD_ARGUMENT);  // a linear reading cannot be given in dB
}

TEST_F(VirtualMeterLinkTest, ReadingChangesByTheCoefficientOfALoadedTable) {
  usbsim::MeterConfig config;
  config.input = {1.0, 1310};
  config.settings.unit = usbsim::PowerUnit::kWatt;
  Connect(config);
  EXPECT_FLOAT_EQ(Measure(11).value, 1.0f);

  // Slot 2 covers 1300 to 1320 nm; at the meter's 1310 nm the coefficient
  // lies between its neighbours.
  ASSERT_TRUE(LoadTable(MakeTable(2, {{1300, 1.5f}, {1310, 1.25f}, {1320, 2.0f}})));
  EXPECT_FLOAT_EQ(Measure(11).value, 1.25f);

  // Between records the coefficient is interpolated: 1305 nm gives 1.375.
  WaveEntry wave{1305, 1.0f};
  ASSERT_EQ(SQ_Wave(0, &wave), MLINK_OK);
  EXPECT_FLOAT_EQ(Measure(11).value, 1.375f);

  // A wavelength no table covers is shown uncorrected.
  wave = {1550, 1.0f};
  ASSERT_EQ(SQ_Wave(0, &wave), MLINK_OK);
  EXPECT_FLOAT_EQ(Measure(11).value, 1.0f);
}

TEST_F(VirtualMeterLinkTest, LowerSlotWinsWhenTwoTablesCoverTheWavelength) {
  usbsim::MeterConfig config;
  config.input = {1.0, 1310};
  config.settings.unit = usbsim::PowerUnit::kWatt;
  Connect(config);
  ASSERT_TRUE(LoadTable(MakeTable(5, {{1300, 3.0f}, {1320, 3.0f}})));
  EXPECT_FLOAT_EQ(Measure(11).value, 3.0f);
  ASSERT_TRUE(LoadTable(MakeTable(1, {{1310, 0.5f}})));
  EXPECT_FLOAT_EQ(Measure(11).value, 0.5f);
}

struct MarkCase {
  const char* name;
  std::function<void(usbsim::MeterConfig&)> configure;
  int32_t result;
  float value;
};

class MarkTest : public VirtualMeterLinkTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(MarkTest, ReachableByConfiguration) {
  usbsim::MeterConfig config;
  GetParam().configure(config);
  Connect(config);
  Reading r{-3.0f, 12};
  EXPECT_EQ(QUES_MeasData(&r), GetParam().result);
  EXPECT_EQ(r.value, GetParam().value);
  EXPECT_EQ(r.unit, 12);  // a marked reading leaves the unit as requested
}

INSTANTIATE_TEST_SUITE_P(
    Marks, MarkTest,
    ::testing::Values(
        MarkCase{"OverRangeAuto", [](auto& c) { c.input.power_mw = 15.0; }, MLINK_OK, 1.0e10f},
        MarkCase{"OverRangeManual",
                 [](auto& c) {
                   c.settings.range_mode = usbsim::RangeMode::kManual;
                   c.settings.range_dbm = -20;
                   c.input.power_mw = 0.1;
                 },
                 MLINK_OK, 1.0e10f},
        MarkCase{"UnderRange", [](auto& c) { c.input.power_mw = 1e-9; }, MLINK_OK, -1.0e10f},
        MarkCase{"UnderRangeManual",
                 [](auto& c) {
                   c.settings.range_mode = usbsim::RangeMode::kManual;
                   c.settings.range_dbm = 10;
                   c.input.power_mw = 1e-5;
                 },
                 MLINK_OK, -1.0e10f},
        MarkCase{"LightOutsideTheSensorsRange", [](auto& c) { c.input.wavelength_nm = 2000; },
                 MLINK_OK, -1.0e10f},
        MarkCase{"Overload", [](auto& c) { c.input.power_mw = 50.0; }, MLINK_OK, 1.0e11f},
        MarkCase{"NoSensor", [](auto& c) { c.sensor.present = false; }, MLINK_MODE_OR_NO_DATA,
                 -3.0f}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(VirtualMeterLinkTest, RelativeReadingAgainstTheReference) {
  usbsim::MeterConfig config;
  config.input = {0.1, 1310};  // -10 dBm
  Connect(config);
  const Reading reference{-13.0f, 9};
  ASSERT_EQ(SET_Rel1(&reference), MLINK_OK);
  ModeSettings relative{1310, 1, 3, 8, 9};
  ASSERT_EQ(SQ_Mode(0, &relative), MLINK_OK);
  EXPECT_NEAR(Measure(14).value, 3.0f, 0.006f);
  // SET_REL0 takes the reading shown now as the reference.
  ASSERT_EQ(SET_Rel0(), MLINK_OK);
  EXPECT_NEAR(Measure(9).value, 0.0f, 0.006f);
  Reading rel{0.0f, 14};
  ASSERT_EQ(QUES_Rel(&rel), MLINK_OK);
  EXPECT_EQ(rel.unit, 9);
  EXPECT_NEAR(rel.value, -10.0f, 0.006f);
}

TEST_F(VirtualMeterLinkTest, BatteryLowStopsEveryCommandBeforeItIsSent) {
  usbsim::MeterConfig config;
  config.battery_low = true;
  Connect(config);
  int32_t ave = 5;
  EXPECT_EQ(SQ_Ave(0, &ave), MLINK_BATTERY_LOW);
  EXPECT_EQ(ResetAllData(), MLINK_BATTERY_LOW);
  EXPECT_THAT(CommandLines(), ::testing::ElementsAre("BTRY\n", "BTRY\n"));
  EXPECT_EQ(meter_->Settings().averaging, 10);
}

}  // namespace
