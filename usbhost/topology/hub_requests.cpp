// The Windows USB hub driver's answers to the hub IOCTLs, on a host
// controller and on a hub, from a topology. Each request is checked the way the driver checks
// it (node kind, buffer sizes, port number); a refused request fails. Only
// the bytes reported in *returned are written to the caller's buffer.
#include <algorithm>
#include <cstring>

#include "hub_records.h"
#include "usb_topology.h"

namespace usbtopo {
namespace {

using namespace records;

// A name record: a header, then the UTF-16 name and its NUL. A buffer too
// small for the whole name gets the header with ActualLength and an empty
// name, so the caller learns the size it needs.
std::vector<uint8_t> NameRecord(std::vector<uint8_t> header, uint32_t length_offset,
                                const std::string& name, uint32_t min_size, uint32_t out_size) {
  const uint32_t header_size = static_cast<uint32_t>(header.size());
  const uint32_t actual = header_size + static_cast<uint32_t>(name.size() + 1) * 2;
  std::vector<uint8_t> record = std::move(header);
  PutU32(&record[length_offset], actual);
  if (out_size < actual) {
    record.resize(min_size, 0);
    return record;
  }
  record.resize(actual, 0);
  const auto units = Utf16(name);
  for (size_t i = 0; i < units.size(); ++i) PutU16(&record[header_size + 2 * i], units[i]);
  return record;
}

bool Deliver(const std::vector<uint8_t>& record, uint8_t* out, uint32_t out_size,
             uint32_t* returned) {
  if (record.size() > out_size) return false;
  std::memcpy(out, record.data(), record.size());
  *returned = static_cast<uint32_t>(record.size());
  return true;
}

std::vector<uint8_t> HubDescriptor(size_t ports) {
  // bDescriptorLength covers DeviceRemovable and PortPwrCtrlMask, one bit per
  // port plus bit 0 each.
  const size_t mask_bytes = ports / 8 + 1;
  std::vector<uint8_t> d(7 + 64, 0);
  d[0] = static_cast<uint8_t>(7 + 2 * mask_bytes);
  d[1] = 0x29;
  d[2] = static_cast<uint8_t>(ports);
  PutU16(&d[3], 0x0009);  // individual power switching and over-current
  d[5] = 50;              // bPowerOnToPowerGood, 2 ms units
  d[6] = 0;               // bHubControlCurrent
  for (size_t i = 0; i < mask_bytes; ++i) d[7 + mask_bytes + i] = 0xFF;  // PortPwrCtrlMask
  return d;
}

// What answers on `port` of `hub`: nothing (`answers` null), a device, or
// an external hub; the port must exist.
struct PortView {
  const PortAnswers* answers = nullptr;
  bool is_hub = false;
  uint16_t address = 0;
  const Hub* child_hub = nullptr;
};

bool LookUpPort(const Topology& topology, const Hub& hub, uint32_t port, PortView* view) {
  if (port < 1 || port > hub.ports.size()) return false;
  const Port& p = hub.ports[port - 1];
  if (p.device != 0) {
    const auto d = topology.devices.find(p.device);
    if (d == topology.devices.end()) return true;
    view->answers = d->second.answers.get();
    view->address = d->second.address;
  } else if (p.hub != 0) {
    const auto h = topology.hubs.find(p.hub);
    if (h == topology.hubs.end()) return true;
    view->answers = h->second.identity.get();
    view->is_hub = true;
    view->address = h->second.address;
    view->child_hub = &h->second;
  }
  return true;
}

bool NodeInformation(const Hub& hub, uint32_t in_size, uint8_t* out, uint32_t out_size,
                     uint32_t* returned) {
  if (in_size != kNodeInformationSize || out_size != kNodeInformationSize) return false;
  if (hub.node_info_fails) return false;
  std::vector<uint8_t> record(kNodeInformationSize, 0);
  PutU32(&record[kNodeTypeOffset], kNodeTypeUsbHub);
  const auto descriptor = HubDescriptor(hub.ports.size());
  std::copy(descriptor.begin(), descriptor.end(), record.begin() + kHubDescriptorOffset);
  record[kHubIsBusPoweredOffset] = hub.parent != 0 ? 1 : 0;
  return Deliver(record, out, out_size, returned);
}

bool ConnectionInformation(const Topology& topology, const Hub& hub, const std::vector<uint8_t>& in,
                           uint8_t* out, uint32_t out_size, uint32_t* returned) {
  if (in.size() < kConnectionInfoFixedSize || out_size < kConnectionInfoFixedSize) return false;
  const uint32_t port = GetU32(&in[kConnectionIndexOffset]);
  PortView view;
  if (!LookUpPort(topology, hub, port, &view)) return false;
  std::vector<uint8_t> record(kConnectionInfoFixedSize, 0);
  PutU32(&record[kConnectionIndexOffset], port);
  if (view.answers != nullptr) {
    if (view.answers->ConnectionInfoFails()) return false;
    auto descriptor = view.answers->DeviceDescriptor();
    descriptor.resize(kDeviceDescriptorSize, 0);
    std::copy(descriptor.begin(), descriptor.end(), record.begin() + kDeviceDescriptorOffset);
    record[kCurrentConfigurationOffset] = 1;
    record[kLowSpeedOffset] = 0;
    record[kDeviceIsHubOffset] = view.is_hub ? 1 : 0;
    PutU16(&record[kDeviceAddressOffset], view.address);
    PutU32(&record[kConnectionStatusOffset], kDeviceConnected);
    // As many pipe entries as the buffer holds.
    const auto endpoints = view.answers->Endpoints();
    const size_t room = (out_size - kConnectionInfoFixedSize) / kPipeInfoSize;
    const size_t pipes = std::min(endpoints.size(), room);
    PutU32(&record[kNumberOfOpenPipesOffset], static_cast<uint32_t>(pipes));
    for (size_t i = 0; i < pipes; ++i) {
      std::vector<uint8_t> entry(kPipeInfoSize, 0);
      const size_t length = std::min<size_t>(endpoints[i].size(), kEndpointDescriptorSize);
      std::copy(endpoints[i].begin(), endpoints[i].begin() + length, entry.begin());
      record.insert(record.end(), entry.begin(), entry.end());
    }
  } else {
    PutU32(&record[kConnectionStatusOffset], kNoDeviceConnected);
  }
  return Deliver(record, out, out_size, returned);
}

bool ConnectionName(const Topology& topology, const Hub& hub, const std::vector<uint8_t>& in,
                    uint8_t* out, uint32_t out_size, uint32_t* returned) {
  if (in.size() < kConnectionNameMinSize || out_size < kConnectionNameMinSize) return false;
  const uint32_t port = GetU32(&in[kConnectionIndexOffset]);
  PortView view;
  if (!LookUpPort(topology, hub, port, &view)) return false;
  std::string name;
  if (view.child_hub != nullptr) {
    if (view.child_hub->name_fails) return false;
    name = view.child_hub->name;
  }
  std::vector<uint8_t> header(kConnectionNameHeader, 0);
  PutU32(&header[kConnectionIndexOffset], port);
  return Deliver(
      NameRecord(std::move(header), kActualLengthOffset, name, kConnectionNameMinSize, out_size),
      out, out_size, returned);
}

bool DescriptorFromConnection(const Topology& topology, const Hub& hub,
                              const std::vector<uint8_t>& in, uint8_t* out, uint32_t out_size,
                              uint32_t* returned) {
  if (in.size() < kDescriptorRequestHeader || out_size < kDescriptorRequestHeader) return false;
  const uint32_t port = GetU32(&in[kConnectionIndexOffset]);
  PortView view;
  if (!LookUpPort(topology, hub, port, &view) || view.answers == nullptr) return false;
  std::vector<uint8_t> data;
  const uint32_t room = out_size - kDescriptorRequestHeader;
  if (!view.answers->Answer(GetU16(&in[kSetupValueOffset]), GetU16(&in[kSetupIndexOffset]),
                            GetU16(&in[kSetupLengthOffset]), room, &data) ||
      data.size() > room) {
    return false;
  }
  // The request header comes back in front of the data.
  std::vector<uint8_t> record(in.begin(), in.begin() + kDescriptorRequestHeader);
  record.insert(record.end(), data.begin(), data.end());
  return Deliver(record, out, out_size, returned);
}

}  // namespace

bool ControllerIoctl(const Topology& topology, int controller, uint32_t code,
                     const std::vector<uint8_t>& /*in*/, uint8_t* out, uint32_t out_size,
                     uint32_t* returned) {
  if (controller < 0 || controller >= kControllerCount) return false;
  const Controller& c = topology.controllers[controller];
  if (code != kIoctlGetRootHubName || out_size < kRootHubNameMinSize) return false;
  if (!c.present || c.root_name_fails) return false;
  const auto root = topology.hubs.find(c.root_hub);
  if (root == topology.hubs.end()) return false;
  std::vector<uint8_t> header(kRootHubNameHeader, 0);
  return Deliver(NameRecord(std::move(header), 0, root->second.name, kRootHubNameMinSize, out_size),
                 out, out_size, returned);
}

bool HubIoctl(const Topology& topology, NodeId hub_id, uint32_t code,
              const std::vector<uint8_t>& in, uint8_t* out, uint32_t out_size, uint32_t* returned) {
  const auto found = topology.hubs.find(hub_id);
  if (found == topology.hubs.end()) return false;
  const Hub& hub = found->second;
  switch (code) {
    case kIoctlGetNodeInformation:
      return NodeInformation(hub, static_cast<uint32_t>(in.size()), out, out_size, returned);
    case kIoctlGetNodeConnectionInformation:
      return ConnectionInformation(topology, hub, in, out, out_size, returned);
    case kIoctlGetNodeConnectionName:
      return ConnectionName(topology, hub, in, out, out_size, returned);
    case kIoctlGetDescriptorFromNodeConnection:
      return DescriptorFromConnection(topology, hub, in, out, out_size, returned);
    default:
      return false;
  }
}

PortChain ChainOf(const Topology& topology, DeviceId device) {
  PortChain chain;
  const auto found = topology.devices.find(device);
  if (found == topology.devices.end()) return chain;
  std::vector<int> up{found->second.port};
  NodeId hub = found->second.hub;
  // Up to the root hub; a hub tree has at most a few tiers, and a loop in a
  // broken model ends at the bound.
  for (size_t guard = 0; guard < topology.hubs.size(); ++guard) {
    const auto it = topology.hubs.find(hub);
    if (it == topology.hubs.end() || it->second.parent == 0) break;
    up.push_back(it->second.parent_port);
    hub = it->second.parent;
  }
  for (int c = 0; c < kControllerCount; ++c) {
    if (topology.controllers[c].present && topology.controllers[c].root_hub == hub) {
      chain.controller = c;
    }
  }
  chain.ports.assign(up.rbegin(), up.rend());
  return chain;
}

}  // namespace usbtopo
