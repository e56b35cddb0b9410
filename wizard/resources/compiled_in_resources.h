// The native build's "BIN_FILE" resources: the sensor data tables compiled
// into the program as constant data, byte for byte the files kept beside
// this header.
#ifndef LX40_WIZARD_RESOURCES_COMPILED_IN_RESOURCES_H
#define LX40_WIZARD_RESOURCES_COMPILED_IN_RESOURCES_H

#include <cstdint>

#include "wizard/core/resource_source.h"

class CompiledInResources final : public ResourceSource {
 public:
  // The compiled-in file with that id; null data for an unknown id.
  BinFile FindBinFile(uint16_t id) override;
};

#endif
