// The wizard's built-in sensor data tables, as the setup run sends them.
#ifndef LX40_TESTS_WIZARD_RUN_WIZARD_TABLES_H
#define LX40_TESTS_WIZARD_RUN_WIZARD_TABLES_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "compiled_in_resources.h"
#include "sensor_data.h"

namespace wizard_tables {

inline CompiledInResources& BuiltInTables() {
  static CompiledInResources tables;
  return tables;
}

inline std::vector<uint8_t> LoadTable(uint8_t index) {
  CSensorData data(BuiltInTables());
  EXPECT_TRUE(data.LoadAll());
  data.Select(index);
  return std::vector<uint8_t>(data.Table(), data.Table() + data.TotalSize());
}

// Table `index` (0: for slot 1, 1: for slot 3), header to trailer.
inline const std::vector<uint8_t>& Table(uint8_t index) {
  static const std::vector<uint8_t> tables[2] = {LoadTable(0), LoadTable(1)};
  return tables[index];
}

}  // namespace wizard_tables

#endif
