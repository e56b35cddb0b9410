// Bulkpipe's serial list as a caller reads it, checked strictly: the buffer
// is pre-filled, so a missing terminator or a byte written past it fails the
// test that listed.
#ifndef LX40_TESTS_SUPPORT_SERIAL_LISTING_H
#define LX40_TESTS_SUPPORT_SERIAL_LISTING_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bulkpipe.h"

struct SerialListing {
  int32_t count = -1;
  std::string list;
};

inline SerialListing ListSerials() {
  std::vector<char> buffer(16384, 'X');
  SerialListing listing;
  listing.count = CheckUSBDevices(buffer.data());
  listing.list = std::string(buffer.data());
  EXPECT_LT(listing.list.size(), buffer.size()) << "the list is not terminated";
  if (listing.list.size() + 1 < buffer.size()) {
    EXPECT_EQ(buffer[listing.list.size() + 1], 'X') << "written past the terminator";
  }
  return listing;
}

#endif
