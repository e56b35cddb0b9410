// The executable's own "BIN_FILE" resources, found by integer id.
#ifndef LX40_WIZARD_WIN32_WIN32_RESOURCES_H
#define LX40_WIZARD_WIN32_WIN32_RESOURCES_H

#include <cstdint>

#include "resource_source.h"

class Win32Resources final : public ResourceSource {
 public:
  // FindResourceA, LoadResource and LockResource on the executable; null data
  // when any of the three fails. The memory is the loaded image's and stays
  // valid for the life of the program.
  BinFile FindBinFile(uint16_t id) override;
};

#endif
