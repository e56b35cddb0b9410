// Bulkpipe with the Windows usbhost layer compiled in, on a PC without
// meters (Wine has no USB host controllers and no meter interfaces).
#include <gtest/gtest.h>

#include <cstring>

#include "bulkpipe.h"

namespace {

TEST(BulkpipeWithoutMeters, CheckUSBDevicesCountsNoneAndLeavesEmptyList) {
  char serials[64];
  std::memset(serials, 'x', sizeof serials);
  EXPECT_EQ(CheckUSBDevices(serials), 0);
  EXPECT_EQ(serials[0], '\0');
  EXPECT_EQ(CheckUSBDevices(nullptr), 0);
}

TEST(BulkpipeWithoutMeters, OpenUSBBulkFileFailsAtEveryPosition) {
  for (int32_t position = 0; position <= 3; ++position) {
    for (int32_t pipe : {0, 1}) {
      EXPECT_EQ(OpenUSBBulkFile(pipe, position), USBHOST_INVALID)
          << "pipe " << pipe << " at position " << position;
    }
  }
}

}  // namespace
