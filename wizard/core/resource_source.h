// Where the wizard finds its built-in "BIN_FILE" resources (the sensor data
// tables): the executable's resources on Windows, data compiled into the
// program in the native build, a test's own bytes in tests.
#ifndef LX40_WIZARD_CORE_RESOURCE_SOURCE_H
#define LX40_WIZARD_CORE_RESOURCE_SOURCE_H

#include <cstddef>
#include <cstdint>

struct BinFile {
  const uint8_t* data = nullptr;  // read-only, valid for the life of the program
  size_t size = 0;
};

class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  // The "BIN_FILE" resource with integer id `id`; data is null when it
  // cannot be found, loaded or locked.
  virtual BinFile FindBinFile(uint16_t id) = 0;
};

#endif
