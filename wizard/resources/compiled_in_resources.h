// The native build's "BIN_FILE" resources: the wizard's two sensor data
// table resources (ids 132 and 138, as in sensorwiz.rc) answered from the
// built-in tables of the shared part (built_in_tables.h), the same bytes the
// Windows program carries as resources.
#ifndef LX40_WIZARD_RESOURCES_COMPILED_IN_RESOURCES_H
#define LX40_WIZARD_RESOURCES_COMPILED_IN_RESOURCES_H

#include <cstdint>

#include "resource_source.h"

class CompiledInResources final : public ResourceSource {
 public:
  // The table resource with that id; null data for an unknown id.
  BinFile FindBinFile(uint16_t id) override;
};

#endif
