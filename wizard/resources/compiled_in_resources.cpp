#include "compiled_in_resources.h"

#include "built_in_tables.h"
#include "resource_ids.h"

namespace {

// Which sensor type each table resource holds; sensorwiz.rc pairs the same
// ids with the same files.
struct TableResource {
  uint16_t id;
  uint16_t type_code;
};
constexpr TableResource kTableResources[] = {
    {IDR_SENSOR_DATA_FIRST, 8010},
    {IDR_SENSOR_DATA_SECOND, 8011},
};

}  // namespace

BinFile CompiledInResources::FindBinFile(uint16_t id) {
  for (const TableResource& resource : kTableResources) {
    if (resource.id != id) continue;
    const std::span<const uint8_t> table = BuiltInTable(resource.type_code);
    if (table.empty()) return {};
    return {table.data(), table.size()};
  }
  return {};
}
