// The wizard's adapter: its two table resources are the shared part's
// built-in tables, under the ids sensorwiz.rc gives them.
#include "compiled_in_resources.h"

#include <gtest/gtest.h>

#include "built_in_tables.h"
#include "resource_ids.h"

namespace {

TEST(CompiledInResources, EachTableResourceIsTheBuiltInTableOfItsType) {
  CompiledInResources resources;
  const struct {
    uint16_t id;
    uint16_t type;
  } cases[] = {{IDR_SENSOR_DATA_FIRST, 8010}, {IDR_SENSOR_DATA_SECOND, 8011}};
  for (const auto& c : cases) {
    const BinFile file = resources.FindBinFile(c.id);
    const std::span<const uint8_t> table = BuiltInTable(c.type);
    ASSERT_FALSE(table.empty()) << c.type;
    EXPECT_EQ(file.data, table.data()) << "resource " << c.id;
    EXPECT_EQ(file.size, table.size()) << "resource " << c.id;
  }
}

TEST(CompiledInResources, UnknownIdGivesNoData) {
  CompiledInResources resources;
  for (int id : {0, 131, 133, 137, 139, 8010, 0xFFFF}) {
    EXPECT_EQ(resources.FindBinFile(static_cast<uint16_t>(id)).data, nullptr) << id;
  }
}

}  // namespace
