// CSensorData over a resource source of the test's own bytes, and over the
// tables compiled into the program.
#include "sensor_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "compiled_in_resources.h"

namespace {

void PutBe16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
  out[offset] = static_cast<uint8_t>(value >> 8);
  out[offset + 1] = static_cast<uint8_t>(value);
}

// A well-formed table of `records` records; the record bytes and the check
// value are filler (CSensorData neither reads nor checks them).
std::vector<uint8_t> MakeTable(uint16_t slot, uint16_t typeCode, uint16_t records) {
  std::vector<uint8_t> table(16 + 6 * size_t{records} + 2, 0xA5);
  PutBe16(table, 0, static_cast<uint16_t>(table.size()));
  PutBe16(table, 2, records);
  PutBe16(table, 4, slot);
  PutBe16(table, 6, typeCode);
  return table;
}

class FakeResources : public ResourceSource {
 public:
  BinFile FindBinFile(uint16_t id) override {
    asked.push_back(id);
    const auto it = files.find(id);
    if (it == files.end()) return {};
    return {it->second.data(), it->second.size()};
  }

  std::map<uint16_t, std::vector<uint8_t>> files;
  std::vector<uint16_t> asked;
};

class SensorDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.files[132] = MakeTable(1, 8010, 3);
    resources.files[138] = MakeTable(3, 8011, 2);
  }

  FakeResources resources;
  CSensorData data{resources};
};

TEST_F(SensorDataTest, LoadAllUsesBothResourcesInPlace) {
  ASSERT_TRUE(data.LoadAll());
  EXPECT_EQ(resources.asked, (std::vector<uint16_t>{132, 138}));
  ASSERT_TRUE(data.Select(0));
  EXPECT_EQ(data.Table(), resources.files[132].data());
  ASSERT_TRUE(data.Select(1));
  EXPECT_EQ(data.Table(), resources.files[138].data());
}

TEST_F(SensorDataTest, MissingSecondTableFailsAfterTheFirstWasLoaded) {
  resources.files.erase(138);
  EXPECT_FALSE(data.LoadAll());
  EXPECT_EQ(resources.asked, (std::vector<uint16_t>{132, 138}));
  ASSERT_TRUE(data.Select(0));
  EXPECT_EQ(data.Table(), resources.files[132].data());
  ASSERT_TRUE(data.Select(1));
  EXPECT_EQ(data.Table(), nullptr);
  EXPECT_EQ(data.TypeCode(), 0);
}

TEST_F(SensorDataTest, MissingFirstTableStopsTheLoad) {
  resources.files.erase(132);
  EXPECT_FALSE(data.LoadAll());
  EXPECT_EQ(resources.asked, (std::vector<uint16_t>{132}));
}

TEST_F(SensorDataTest, LoadOneRefusesAnIndexBeyondTheTables) {
  EXPECT_FALSE(data.LoadOne(2));
  EXPECT_TRUE(resources.asked.empty());
}

TEST_F(SensorDataTest, HeaderFieldsAreReadBigEndian) {
  resources.files[138] = MakeTable(0x0102, 0x1F4B, 0x0103);
  ASSERT_TRUE(data.LoadAll());
  ASSERT_TRUE(data.Select(1));
  EXPECT_EQ(data.TotalSize(), 16 + 6 * 0x0103 + 2);
  EXPECT_EQ(data.RecordCount(), 0x0103);
  EXPECT_EQ(data.Slot(), 0x0102);
  EXPECT_EQ(data.TypeCode(), 0x1F4B);
}

TEST_F(SensorDataTest, SelectBeyondTheTablesFailsAndKeepsTheCurrentTable) {
  ASSERT_TRUE(data.LoadAll());
  ASSERT_TRUE(data.Select(1));
  for (uint8_t index : {uint8_t{2}, uint8_t{3}, uint8_t{255}}) {
    EXPECT_FALSE(data.Select(index)) << int(index);
    EXPECT_EQ(data.Table(), resources.files[138].data());
    EXPECT_EQ(data.TypeCodeText(), "8011");
  }
}

TEST_F(SensorDataTest, WalkVisitsBothTablesAndEndsOnTheFirst) {
  ASSERT_TRUE(data.LoadAll());
  std::vector<std::string> visited;
  ASSERT_TRUE(data.Select(0));
  do {
    visited.push_back(data.TypeCodeText());
  } while (data.Next());
  EXPECT_EQ(visited, (std::vector<std::string>{"8010", "8011"}));
  EXPECT_EQ(data.Table(), resources.files[132].data());
}

TEST_F(SensorDataTest, NextReturnsTrueOnlyWhenItStepsToTable1) {
  ASSERT_TRUE(data.LoadAll());
  ASSERT_TRUE(data.Select(0));
  EXPECT_TRUE(data.Next());
  EXPECT_EQ(data.Slot(), 3);
  EXPECT_FALSE(data.Next());
  EXPECT_EQ(data.Slot(), 1);
}

TEST_F(SensorDataTest, TypeCodeTextIsPlainDecimal) {
  const struct {
    uint16_t code;
    const char* text;
  } cases[] = {{0, "0"},         {7, "7"},         {8010, "8010"},
               {10000, "10000"}, {40960, "40960"}, {65535, "65535"}};
  for (const auto& c : cases) {
    resources.files[132] = MakeTable(1, c.code, 1);
    ASSERT_TRUE(data.LoadAll());
    ASSERT_TRUE(data.Select(0));
    EXPECT_EQ(data.TypeCodeText(), c.text) << c.code;
  }
}

// A resource whose length disagrees with its own header is never used: the
// transfer would otherwise read past its end.
TEST_F(SensorDataTest, LoadOneRefusesAMalformedResource) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"17 bytes", std::vector<uint8_t>(17, 0)});
  {
    std::vector<uint8_t> bytes = MakeTable(1, 8010, 3);
    bytes.pop_back();
    cases.push_back({"shorter than its total size", bytes});
  }
  {
    std::vector<uint8_t> bytes = MakeTable(1, 8010, 3);
    bytes.push_back(0);
    cases.push_back({"longer than its total size", bytes});
  }
  {
    std::vector<uint8_t> bytes = MakeTable(1, 8010, 3);
    PutBe16(bytes, 2, 4);
    cases.push_back({"more records than it holds", bytes});
  }
  {
    std::vector<uint8_t> bytes = MakeTable(1, 8010, 3);
    PutBe16(bytes, 2, 2);
    cases.push_back({"fewer records than it holds", bytes});
  }
  cases.push_back({"no records", MakeTable(1, 8010, 0)});
  {
    // Size field read little-endian would match: 0x0018 stored as 18 00.
    std::vector<uint8_t> bytes = MakeTable(1, 8010, 1);
    bytes[0] = static_cast<uint8_t>(bytes.size());
    bytes[1] = 0;
    cases.push_back({"size field little-endian", bytes});
  }

  for (const Case& c : cases) {
    FakeResources fake;
    fake.files[132] = c.bytes;
    CSensorData sensorData(fake);
    EXPECT_FALSE(sensorData.LoadOne(0)) << c.what;
    ASSERT_TRUE(sensorData.Select(0));
    EXPECT_EQ(sensorData.Table(), nullptr) << c.what;
  }
}

TEST_F(SensorDataTest, LoadOneAcceptsTheSmallestWholeTable) {
  resources.files[132] = MakeTable(1, 8010, 1);
  ASSERT_EQ(resources.files[132].size(), 24u);
  EXPECT_TRUE(data.LoadOne(0));
}

TEST(SensorDataBuiltIn, LoadsTheCompiledInTables) {
  CompiledInResources resources;
  CSensorData data(resources);
  ASSERT_TRUE(data.LoadAll());
  ASSERT_TRUE(data.Select(0));
  EXPECT_EQ(data.TypeCodeText(), "8010");
  EXPECT_EQ(data.Slot(), 1);
  EXPECT_EQ(data.RecordCount(), 781);
  EXPECT_EQ(data.TotalSize(), 4704);
  EXPECT_EQ(data.Table(), resources.FindBinFile(132).data);
  ASSERT_TRUE(data.Next());
  EXPECT_EQ(data.TypeCodeText(), "8011");
  EXPECT_EQ(data.Slot(), 3);
  EXPECT_EQ(data.RecordCount(), 71);
  EXPECT_EQ(data.TotalSize(), 444);
  EXPECT_EQ(data.Table(), resources.FindBinFile(138).data);
}

}  // namespace
