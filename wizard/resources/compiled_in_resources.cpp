#include "wizard/resources/compiled_in_resources.h"

#include "wizard/resources/compiled_bin_files.h"

BinFile CompiledInResources::FindBinFile(uint16_t id) {
  for (size_t i = 0; i < kCompiledBinFileCount; ++i) {
    if (kCompiledBinFiles[i].id == id) return kCompiledBinFiles[i].file;
  }
  return {};
}
