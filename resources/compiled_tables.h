// The list of compiled-in "BIN_FILE" resources. Its definition is generated
// at configure time from the .bin files (see sensor_tables.cmake).
#ifndef LX40_WIZARD_RESOURCES_COMPILED_BIN_FILES_H
#define LX40_WIZARD_RESOURCES_COMPILED_BIN_FILES_H

#include <cstddef>
#include <cstdint>

#include "wizard/core/resource_source.h"

struct CompiledBinFile {
  uint16_t id;
  BinFile file;
};

extern const CompiledBinFile kCompiledBinFiles[];
extern const size_t kCompiledBinFileCount;

#endif
