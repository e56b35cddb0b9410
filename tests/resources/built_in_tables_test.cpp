// The two factory tables as built into every program: layout, check value,
// calibration points, extremes and the smoothness of their curves; the same
// bytes as the files they are made from.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "built_in_tables.h"

namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial 0xFFFF, no reflection, no
// final XOR. Written bit by bit here, apart from the generator's.
uint16_t Crc16CcittFalse(const uint8_t* data, size_t size) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

TEST(Crc16CcittFalse, GivesTheCatalogueCheckValue) {
  const char* text = "123456789";
  EXPECT_EQ(Crc16CcittFalse(reinterpret_cast<const uint8_t*>(text), 9), 0x29B1);
}

// A coefficient as decimal text with `digits` significant digits.
std::string Rounded(float value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*e", digits - 1, static_cast<double>(value));
  return text;
}

struct Record {
  uint16_t nm;
  float value;
};

std::vector<Record> Records(std::span<const uint8_t> table) {
  std::vector<Record> records;
  const size_t count = Be16(table.data() + 2);
  for (size_t i = 0; i < count && 16 + 6 * (i + 1) <= table.size(); ++i) {
    const uint8_t* p = table.data() + 16 + 6 * i;
    const uint32_t bits = (uint32_t{Be16(p + 2)} << 16) | Be16(p + 4);
    records.push_back({Be16(p), std::bit_cast<float>(bits)});
  }
  return records;
}

struct CalibrationPoint {
  uint16_t nm;
  const char* stored;  // the stored value to 7 significant digits
};

struct Extreme {
  uint16_t nm;
  const char* value;
  int digits;
};

struct ExpectedTable {
  const char* name;
  const char* file_name;  // in resources/tables
  size_t size;
  uint16_t records;
  uint16_t slot;
  uint16_t typeCode;
  uint16_t firstNm;
  uint16_t lastNm;
  std::array<uint16_t, 4> headerNm;
  std::array<uint8_t, 6> firstRecord;
  Extreme minimum;
  Extreme maximum;
  std::vector<CalibrationPoint> points;
};

void PrintTo(const ExpectedTable& table, std::ostream* os) { *os << table.name; }

const ExpectedTable kTables[] = {
    {"Table0",
     "sensor_table_8010.bin",
     4704,
     781,
     1,
     8010,
     320,
     1100,
     {633, 635, 650, 780},
     {0x01, 0x40, 0x40, 0x6C, 0x49, 0xBA},
     {960, "6.51e-01", 3},
     {320, "3.692e+00", 4},
     {{320, "3.692000e+00"},
      {321, "3.634000e+00"},
      {633, "1.000000e+00"},
      {635, "9.960000e-01"},
      {650, "9.710000e-01"},
      {780, "7.960000e-01"},
      {1100, "3.182000e+00"}}},
    {"Table1",
     "sensor_table_8011.bin",
     444,
     71,
     3,
     8011,
     380,
     450,
     {400, 403, 405, 408},
     {0x01, 0x7C, 0x3F, 0xCF, 0xCC, 0xB2},
     {410, "1.4228e+00", 5},
     {450, "1.7918e+00", 5},
     {{380, "1.623434e+00"}, {381, "1.607962e+00"}, {400, "1.434213e+00"}, {450, "1.791788e+00"}}},
};

class BuiltInTableTest : public ::testing::TestWithParam<ExpectedTable> {
 protected:
  void SetUp() override {
    table = BuiltInTable(GetParam().typeCode);
    ASSERT_EQ(table.size(), GetParam().size);
    bytes = table.data();
    size = table.size();
    records = Records(table);
    ASSERT_EQ(records.size(), GetParam().records);
  }

  std::span<const uint8_t> table;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  std::vector<Record> records;
};

TEST_P(BuiltInTableTest, IsByteForByteTheFileItIsMadeFrom) {
  const std::string path = std::string(LX40_TABLES_DIR) + "/" + GetParam().file_name;
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  ASSERT_NE(stream, nullptr) << path;
  std::vector<uint8_t> on_disk(GetParam().size + 1);
  on_disk.resize(std::fread(on_disk.data(), 1, on_disk.size(), stream));
  std::fclose(stream);
  EXPECT_EQ(on_disk, std::vector<uint8_t>(table.begin(), table.end())) << path;
}

TEST_P(BuiltInTableTest, SizeFieldsAgreeWithTheRealLength) {
  EXPECT_EQ(Be16(bytes), size);
  EXPECT_EQ(Be16(bytes + 2), GetParam().records);
  EXPECT_EQ(16u + 6u * GetParam().records + 2u, size);
}

TEST_P(BuiltInTableTest, HeaderCarriesSlotTypeAndWavelengths) {
  EXPECT_EQ(Be16(bytes + 4), GetParam().slot);
  EXPECT_EQ(Be16(bytes + 6), GetParam().typeCode);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(Be16(bytes + 8 + 2 * i), GetParam().headerNm[i]) << "header wavelength " << i;
  }
}

TEST_P(BuiltInTableTest, TrailerIsTheCrcOfEverythingBeforeIt) {
  EXPECT_EQ(Be16(bytes + size - 2), Crc16CcittFalse(bytes, size - 2));
}

TEST_P(BuiltInTableTest, RecordsAscendByOneNanometre) {
  for (size_t i = 0; i < records.size(); ++i) {
    ASSERT_EQ(records[i].nm, GetParam().firstNm + i) << "record " << i;
  }
  EXPECT_EQ(records.back().nm, GetParam().lastNm);
}

TEST_P(BuiltInTableTest, HeaderWavelengthsAreRecordWavelengths) {
  for (size_t i = 0; i < 4; ++i) {
    const uint16_t nm = Be16(bytes + 8 + 2 * i);
    bool found = false;
    for (const Record& r : records) found = found || r.nm == nm;
    EXPECT_TRUE(found) << nm << " nm";
  }
}

TEST_P(BuiltInTableTest, FirstRecordBytes) {
  EXPECT_EQ(0, std::memcmp(bytes + 16, GetParam().firstRecord.data(), 6));
}

TEST_P(BuiltInTableTest, CalibrationPointsAreStoredAsMeasured) {
  for (const CalibrationPoint& point : GetParam().points) {
    const size_t i = point.nm - GetParam().firstNm;
    ASSERT_LT(i, records.size());
    EXPECT_EQ(Rounded(records[i].value, 7), point.stored) << point.nm << " nm";
  }
}

// Falling strictly down to the minimum and rising strictly after it puts the
// one minimum at its wavelength and the maximum at one of the two ends.
TEST_P(BuiltInTableTest, FallsToItsMinimumThenRisesToItsMaximum) {
  const Extreme& minimum = GetParam().minimum;
  const Extreme& maximum = GetParam().maximum;
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i].nm <= minimum.nm) {
      EXPECT_LT(records[i].value, records[i - 1].value) << records[i].nm << " nm";
    } else {
      EXPECT_GT(records[i].value, records[i - 1].value) << records[i].nm << " nm";
    }
  }
  size_t lowest = 0;
  size_t highest = 0;
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i].value < records[lowest].value) lowest = i;
    if (records[i].value > records[highest].value) highest = i;
  }
  EXPECT_EQ(records[lowest].nm, minimum.nm);
  EXPECT_EQ(Rounded(records[lowest].value, minimum.digits), minimum.value);
  EXPECT_EQ(records[highest].nm, maximum.nm);
  EXPECT_EQ(Rounded(records[highest].value, maximum.digits), maximum.value);
}

// A bend sharper than the curve's own shows as a large second difference; a
// kink or a step between neighbours as a large third difference (the
// curvature jumps). The curves stay well inside both bounds.
TEST_P(BuiltInTableTest, CurveHasNoKinksOrSteps) {
  std::vector<double> d1;
  for (size_t i = 1; i < records.size(); ++i) {
    d1.push_back(double(records[i].value) - double(records[i - 1].value));
  }
  std::vector<double> d2;
  for (size_t i = 1; i < d1.size(); ++i) d2.push_back(d1[i] - d1[i - 1]);
  for (size_t i = 0; i < d2.size(); ++i) {
    EXPECT_LE(std::fabs(d2[i]), 0.002) << "around " << records[i + 1].nm << " nm";
  }
  for (size_t i = 1; i < d2.size(); ++i) {
    EXPECT_LE(std::fabs(d2[i] - d2[i - 1]), 0.0005) << "around " << records[i + 1].nm << " nm";
  }
}

INSTANTIATE_TEST_SUITE_P(Both, BuiltInTableTest, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<ExpectedTable>& param) {
                           return std::string(param.param.name);
                         });

TEST(BuiltInTables, Table0IsNormalisedToExactlyOneAt633nm) {
  const std::span<const uint8_t> table = BuiltInTable(8010);
  ASSERT_EQ(table.size(), 4704u);
  const std::vector<Record> records = Records(table);
  ASSERT_EQ(records.size(), 781u);
  EXPECT_EQ(Be16(table.data() + 8), 633);
  EXPECT_EQ(records[633 - 320].nm, 633);
  EXPECT_EQ(records[633 - 320].value, 1.0f);
}

TEST(BuiltInTables, ComeInTheWizardsOrderEachUnderItsType) {
  const auto tables = BuiltInTables();
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(Be16(tables[0].data() + 6), 8010);
  EXPECT_EQ(Be16(tables[1].data() + 6), 8011);
  EXPECT_EQ(BuiltInTable(8010).data(), tables[0].data());
  EXPECT_EQ(BuiltInTable(8011).data(), tables[1].data());
}

TEST(BuiltInTables, AnotherTypeHasNone) {
  for (int type : {0, 8009, 8012, 132, 138, 0xFFFF}) {
    EXPECT_TRUE(BuiltInTable(static_cast<uint16_t>(type)).empty()) << type;
  }
}

}  // namespace
