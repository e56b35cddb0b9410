// The SetupAPI lookup: no meter interface on a PC without meters, and, for an
// interface class Wine does present, the path copied whole or not at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "usbhost.h"

namespace {

// {6B3E21D4-0A7C-4F58-B913-2E7D5C48A0F1}, first three fields little-endian.
constexpr uint8_t kMeterInterfaceGuid[16] = {0xD4, 0x21, 0x3E, 0x6B, 0x7C, 0x0A, 0x58, 0x4F,
                                             0xB9, 0x13, 0x2E, 0x7D, 0x5C, 0x48, 0xA0, 0xF1};
// GUID_DEVINTERFACE_HID {4D1E55B2-F16F-11CF-88CB-001111000030}: Wine presents
// its virtual keyboard and mouse under it.
constexpr uint8_t kHidInterfaceGuid[16] = {0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                           0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};

TEST(InterfacePath, NoMeterInterfaceAtAnyPosition) {
  for (int32_t position : {0, 1, 2, 3, 9, 255, INT32_MAX, -1}) {
    char path[256];
    std::memset(path, 'x', sizeof path);
    EXPECT_EQ(usbhost_interface_path(kMeterInterfaceGuid, position, path, sizeof path), 0)
        << "position " << position;
  }
}

TEST(InterfacePath, NullArgumentsFail) {
  char path[256];
  EXPECT_EQ(usbhost_interface_path(nullptr, 0, path, sizeof path), 0);
  EXPECT_EQ(usbhost_interface_path(kHidInterfaceGuid, 0, nullptr, sizeof path), 0);
  EXPECT_EQ(usbhost_interface_path(kHidInterfaceGuid, 0, path, 0), 0);
}

// The first position after the last present interface fails; every one
// before it yields a terminated device path that fits exactly when the
// buffer holds it and its terminator, and is refused one byte shorter
// without a byte written past the buffer.
TEST(InterfacePath, PresentInterfacesCopiedWholeOrNotAtAll) {
  int32_t present = 0;
  for (; present < 64; ++present) {
    char path[512];
    if (usbhost_interface_path(kHidInterfaceGuid, present, path, sizeof path) == 0) {
      break;
    }
    const std::string text(path);
    ASSERT_LT(text.size(), sizeof path);
    EXPECT_EQ(text.rfind("\\\\?\\", 0), 0u) << text;

    // Guard bytes around an exact-size window of a larger buffer.
    const uint32_t exact = static_cast<uint32_t>(text.size() + 1);
    std::string window(exact + 2, '#');
    ASSERT_EQ(usbhost_interface_path(kHidInterfaceGuid, present, &window[1], exact), 1);
    EXPECT_EQ(window.substr(1, text.size()), text);
    EXPECT_EQ(window[exact], '\0');
    EXPECT_EQ(window[0], '#');
    EXPECT_EQ(window[exact + 1], '#');

    std::string short_window(exact + 1, '#');
    EXPECT_EQ(usbhost_interface_path(kHidInterfaceGuid, present, &short_window[0], exact - 1), 0);
    EXPECT_EQ(short_window[exact - 1], '#');
    EXPECT_EQ(short_window[exact], '#');
  }
  if (present == 0) {
    GTEST_SKIP() << "this Wine prefix presents no HID interface";
  }
  char path[512];
  EXPECT_EQ(usbhost_interface_path(kHidInterfaceGuid, present, path, sizeof path), 0);
}

}  // namespace
