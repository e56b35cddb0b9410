// lx40-list: lists the LX40 meters on the simulated USB bus, as Bulkpipe's
// hub walk and Meterlink's device table see them. With no argument the bus
// holds the default demo meters; with one argument it is built from that
// meter configuration file.
#include <cstdio>
#include <string>
#include <vector>

#include "bulkpipe.h"
#include "meter/meter_attach.h"
#include "meter/meter_config_file.h"
#include "meterlink.h"

namespace {

constexpr int kMaxMeters = 127;

bool BuildBus(int argc, char** argv) {
  if (argc < 2) {
    usbsim::BuildDefaultTopology();
    std::printf("Simulated bus: the default demo meters\n");
    return true;
  }
  std::vector<usbsim::AttachedMeter> attached;
  std::string error = usbsim::LoadMeterConfigFile(argv[1], &attached);
  if (!error.empty()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return false;
  }
  std::printf("Simulated bus: %zu meter(s) from %s\n", attached.size(), argv[1]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [meter configuration file]\n", argv[0]);
    return 2;
  }
  if (!BuildBus(argc, argv)) return 1;

  std::vector<char> serials(10 * kMaxMeters + 1, '\0');
  int32_t count = CheckUSBDevices(serials.data());
  std::printf("USB hub walk: %d meter(s)%s%s\n", count, count > 0 ? ": " : "", serials.data());

  int32_t result = OpenAllDevice();
  if (result != 1) {
    std::printf("Meter table: none (result %d)\n", result);
    return 0;
  }
  int32_t meters = 0;
  GetAllDeviceNum(&meters);
  std::printf("Meter table: %d LX40 meter(s) answer\n", meters);
  for (int i = 0; i <= meters; ++i) {
    char serial[64] = {};
    if (GetAllDeviceSerialNo(serial) != 1 || std::string(serial) == "SN_END") break;
    char selected[64] = {};
    std::snprintf(selected, sizeof selected, "%s", serial);
    if (SelectOneDevice(selected) != 1) continue;
    char battery[64] = {};
    char slots[64] = {};
    USBComd_SendRecv("BTRY", battery);
    USBComd_SendRecv("TEST", slots);
    std::printf("  %-11s battery %-9s slots %s\n", serial, battery, slots);
  }
  CloseAllDevice();
  return 0;
}
