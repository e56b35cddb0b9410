// The meters' udev rule: it matches the sysfs attributes of a simulated
// meter (the ids it is plugged with, formatted as the kernel shows them),
// nothing else, and grants what the README says.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "meter_identity.h"

namespace {

struct Assignment {
  std::string key;
  std::string op;
  std::string value;
};

// One rule line as udev reads it: KEY OP "VALUE", separated by commas.
std::vector<Assignment> ParseRule(const std::string& line) {
  std::vector<Assignment> parts;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == ',')) ++at;
    if (at >= line.size()) break;
    const size_t op_at = line.find_first_of("=!+:", at);
    const size_t quote = line.find('"', op_at);
    const size_t end = line.find('"', quote + 1);
    if (op_at == std::string::npos || quote == std::string::npos || end == std::string::npos) {
      ADD_FAILURE() << "cannot read: " << line.substr(at);
      break;
    }
    parts.push_back({line.substr(at, op_at - at), line.substr(op_at, quote - op_at),
                     line.substr(quote + 1, end - quote - 1)});
    at = end + 1;
  }
  return parts;
}

std::vector<std::vector<Assignment>> Rules() {
  std::ifstream file(LX40_UDEV_RULES);
  EXPECT_TRUE(file) << LX40_UDEV_RULES;
  std::vector<std::vector<Assignment>> rules;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    rules.push_back(ParseRule(line));
  }
  return rules;
}

// The attributes sysfs shows for a USB device, as udev matches them.
std::map<std::string, std::string> SysfsOf(uint16_t vendor, uint16_t product) {
  char v[8], p[8];
  std::snprintf(v, sizeof v, "%04x", vendor);
  std::snprintf(p, sizeof p, "%04x", product);
  return {{"SUBSYSTEM", "usb"},
          {"ENV{DEVTYPE}", "usb_device"},
          {"ATTR{idVendor}", v},
          {"ATTR{idProduct}", p}};
}

bool Matches(const std::vector<Assignment>& rule, const std::map<std::string, std::string>& dev) {
  for (const Assignment& a : rule) {
    if (a.op != "==") continue;
    const auto it = dev.find(a.key);
    if (it == dev.end() || it->second != a.value) return false;
  }
  return true;
}

TEST(UdevRules, TheRuleMatchesASimulatedMeterAndNothingElse) {
  const auto rules = Rules();
  ASSERT_EQ(rules.size(), 1u);
  const usbsim::SimulatedDevice meter;  // what the simulator plugs as a meter
  EXPECT_EQ(meter.vendor_id, bulkpipe::kMeterVendorId);
  EXPECT_EQ(meter.product_id, bulkpipe::kMeterProductId);
  EXPECT_TRUE(Matches(rules[0], SysfsOf(meter.vendor_id, meter.product_id)));

  struct Case {
    uint16_t vendor;
    uint16_t product;
  };
  // The simulator's external hub, a meter's vendor with another product, and
  // the meter's product id under another vendor.
  for (const Case& c :
       {Case{0x05E3, 0x0608}, Case{meter.vendor_id, 0x3001}, Case{0x1234, meter.product_id}}) {
    EXPECT_FALSE(Matches(rules[0], SysfsOf(c.vendor, c.product))) << c.vendor << ":" << c.product;
  }
  // An interface of the meter (DEVTYPE usb_interface) is not its device file.
  auto interface = SysfsOf(meter.vendor_id, meter.product_id);
  interface["ENV{DEVTYPE}"] = "usb_interface";
  EXPECT_FALSE(Matches(rules[0], interface));
}

TEST(UdevRules, TheRuleGivesTheSeatUserAndPlugdevReadAndWrite) {
  const auto rules = Rules();
  ASSERT_EQ(rules.size(), 1u);
  std::map<std::string, std::string> granted;
  for (const Assignment& a : rules[0]) {
    if (a.op != "==") granted[a.key + a.op] = a.value;
  }
  EXPECT_EQ(granted, (std::map<std::string, std::string>{
                         {"MODE=", "0660"}, {"GROUP=", "plugdev"}, {"TAG+=", "uaccess"}}));
}

}  // namespace
