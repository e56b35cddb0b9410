// A small, well-behaved USB topology answered through the scripted host, so
// a test can start from sound replies and change just the one it is about.
#ifndef LX40_TESTS_BULKPIPE_SCRIPTED_TOPOLOGY_H
#define LX40_TESTS_BULKPIPE_SCRIPTED_TOPOLOGY_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scripted_host.h"

namespace scripted {

struct PortModel {
  bool connected = false;
  bool is_hub = false;
  std::u16string hub_name;  // reported for the port when is_hub
  uint16_t vendor = 0x5A2D;
  uint16_t product = 0x3000;
  uint8_t serial_index = 3;
  std::u16string serial;
};

struct HubModel {
  std::vector<PortModel> ports;
};

struct Topology {
  std::map<int, std::u16string> controllers;  // number -> root hub name
  std::map<std::string, HubModel> hubs;       // opened path ("\\.\<name>") -> hub
  // Sees each request with the sound reply and may change that reply.
  std::function<void(const IoctlCall&, IoctlReply&)> tamper;
};

PortModel MeterPort(const std::u16string& serial);
PortModel HubPort(const std::u16string& name);

// Makes the scripted host answer as `topology`.
void Install(Topology topology);

std::string Ascii(const std::u16string& text);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset);
void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);

}  // namespace scripted

#endif
