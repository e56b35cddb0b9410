// The USB descriptors a simulated device answers with (device,
// configuration, string), including the deliberate faults of DescriptorFaults.
#ifndef LX40_USBHOST_SIM_BUS_SIM_DESCRIPTORS_H
#define LX40_USBHOST_SIM_BUS_SIM_DESCRIPTORS_H

#include <cstdint>
#include <vector>

#include "bus/sim_bus.h"

namespace usbsim::descriptors {

inline constexpr uint8_t kTypeDevice = 1;
inline constexpr uint8_t kTypeConfiguration = 2;
inline constexpr uint8_t kTypeString = 3;
inline constexpr uint8_t kDeviceDescriptorSize = 18;

// What answers on a port: a device as plugged, or an external hub (which
// reports the hub class and has no pipes of the meter's class).
struct PortDevice {
  const SimulatedDevice* details;
  bool is_hub;
};

// The 18-byte device descriptor.
std::vector<uint8_t> DeviceDescriptor(const PortDevice& device);

// The bulk or interrupt endpoints of the device's one interface, as 7-byte
// endpoint descriptors (the pipes the hub reports open).
std::vector<std::vector<uint8_t>> Endpoints(const PortDevice& device);

// A GET_DESCRIPTOR request with the setup packet's wValue, wIndex and
// wLength. Fills `data` with at most min(wLength, room) bytes and returns
// true, or returns false where the device stalls: unknown type or index, a
// language the device does not have, or a fault that makes the read fail.
bool Answer(const PortDevice& device, uint16_t value, uint16_t index, uint16_t length,
            uint32_t room, std::vector<uint8_t>* data);

}  // namespace usbsim::descriptors

#endif
