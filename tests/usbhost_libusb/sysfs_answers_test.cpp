// The descriptors a device answers with from what sysfs holds: the device
// and configuration descriptors as read at enumeration, the language list,
// the serial number string, and stalls for everything else.
#include "sysfs_answers.h"

#include <gtest/gtest.h>

#include "found_devices.h"

namespace libusb_test {
namespace {

using usbhost_libusb::SysfsAnswers;

std::vector<uint8_t> Ask(const usbtopo::PortAnswers& answers, uint16_t value, uint16_t index,
                         uint16_t length, bool* ok, uint32_t room = 4096) {
  std::vector<uint8_t> data;
  *ok = answers.Answer(value, index, length, room, &data);
  return data;
}

TEST(SysfsAnswers, DeviceAndConfigurationDescriptorsAreTheKernelsBytes) {
  const auto meter = Meter(1, {1}, 2, "A12345678");
  const auto answers = SysfsAnswers(meter);
  EXPECT_EQ(answers->DeviceDescriptor(),
            std::vector<uint8_t>(meter.descriptors.begin(), meter.descriptors.begin() + 18));
  bool ok = false;
  const auto header = Ask(*answers, 0x0200, 0, 9, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(header,
            std::vector<uint8_t>(meter.descriptors.begin() + 18, meter.descriptors.begin() + 27));
  const auto full = Ask(*answers, 0x0200, 0, 255, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(full, std::vector<uint8_t>(meter.descriptors.begin() + 18, meter.descriptors.end()));
  // The room of the caller's buffer bounds the answer as wLength does.
  EXPECT_EQ(Ask(*answers, 0x0200, 0, 255, &ok, 5).size(), 5u);
  const auto endpoints = answers->Endpoints();
  ASSERT_EQ(endpoints.size(), 2u);
  EXPECT_EQ(endpoints[0][2], 0x01);
  EXPECT_EQ(endpoints[1][2], 0x82);
}

TEST(SysfsAnswers, SerialNumberIsAnsweredInUsEnglish) {
  struct Case {
    std::string serial;
    std::vector<uint16_t> units;
  };
  const std::vector<Case> cases{
      {"A12345678", {'A', '1', '2', '3', '4', '5', '6', '7', '8'}},
      {"\xC3\xA9"
       "1",
       {0x00E9, '1'}},                         // two-byte UTF-8
      {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},  // beyond the BMP: a surrogate pair
      {"\xFF"
       "A",
       {0xFFFD, 'A'}},                                           // not UTF-8
      {std::string(200, 'Z'), std::vector<uint16_t>(126, 'Z')},  // cut to what bLength holds
  };
  for (const Case& c : cases) {
    const auto answers = SysfsAnswers(Meter(1, {1}, 2, c.serial));
    bool ok = false;
    const auto languages = Ask(*answers, 0x0300, 0, 255, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(languages, (std::vector<uint8_t>{4, 3, 0x09, 0x04}));
    const auto serial = Ask(*answers, 0x0303, 0x0409, 255, &ok);
    ASSERT_TRUE(ok) << c.serial;
    ASSERT_EQ(serial.size(), 2 + 2 * c.units.size()) << c.serial;
    EXPECT_EQ(serial[0], serial.size());
    EXPECT_EQ(serial[1], 3);
    for (size_t i = 0; i < c.units.size(); ++i) {
      EXPECT_EQ(serial[2 + 2 * i] | (serial[3 + 2 * i] << 8), c.units[i]) << c.serial << " " << i;
    }
  }
}

TEST(SysfsAnswers, WhatTheDeviceDoesNotHaveStalls) {
  const auto answers = SysfsAnswers(Meter(1, {1}, 2, "A12345678"));
  const auto without_serial = SysfsAnswers(Meter(1, {1}, 2, ""));
  bool ok = true;
  Ask(*answers, 0x0303, 0x0411, 255, &ok);  // another language
  EXPECT_FALSE(ok);
  Ask(*answers, 0x0304, 0x0409, 255, &ok);  // another string
  EXPECT_FALSE(ok);
  Ask(*answers, 0x0201, 0, 255, &ok);  // a second configuration
  EXPECT_FALSE(ok);
  Ask(*answers, 0x0600, 0, 255, &ok);  // another descriptor type
  EXPECT_FALSE(ok);
  Ask(*without_serial, 0x0303, 0x0409, 255, &ok);
  EXPECT_FALSE(ok);
}

TEST(SysfsAnswers, ShortOrBrokenDescriptorsAreNeverReadBeyond) {
  auto meter = Meter(1, {1}, 2, "A12345678");
  // The configuration claims 200 bytes; only its 32 are there.
  meter.descriptors[18 + 2] = 200;
  bool ok = false;
  const auto full = Ask(*SysfsAnswers(meter), 0x0200, 0, 255, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(full.size(), 32u);
  // An endpoint descriptor whose length runs past the end ends the list.
  auto broken = Meter(1, {1}, 2, "A12345678");
  broken.descriptors[18 + 9 + 9 + 7] = 40;
  EXPECT_EQ(SysfsAnswers(broken)->Endpoints().size(), 1u);
  // Fewer than 18 bytes: no descriptors at all.
  auto cut = Meter(1, {1}, 2, "A12345678");
  cut.descriptors.resize(10);
  const auto answers = SysfsAnswers(cut);
  EXPECT_TRUE(answers->DeviceDescriptor().empty());
  Ask(*answers, 0x0100, 0, 18, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(usbhost_libusb::VendorId(cut), 0);
}

}  // namespace
}  // namespace libusb_test
