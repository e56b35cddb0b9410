#include "scripted_topology.h"

#include <memory>

#include "hub_ioctl_codes.h"

namespace scripted {
namespace {

using namespace hub_ioctl;

void PutLe16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

// Header, the UTF-16 name and its NUL; only the header and one unit when
// the caller's buffer is too small for the whole record.
IoctlReply NameRecord(std::vector<uint8_t> header, size_t length_offset, const std::u16string& name,
                      uint32_t out_size) {
  const size_t actual = header.size() + 2 * (name.size() + 1);
  PutLe32(header, length_offset, static_cast<uint32_t>(actual));
  if (out_size < actual) {
    header.resize(header.size() + 2, 0);
    return {true, header};
  }
  header.resize(actual, 0);
  for (size_t i = 0; i < name.size(); ++i) {
    PutLe16(header, header.size() - 2 * (name.size() + 1) + 2 * i, name[i]);
  }
  return {true, header};
}

std::vector<uint8_t> StringDescriptor(const std::u16string& text) {
  std::vector<uint8_t> d(2 + 2 * text.size());
  d[0] = static_cast<uint8_t>(d.size());
  d[1] = 3;
  for (size_t i = 0; i < text.size(); ++i) PutLe16(d, 2 + 2 * i, text[i]);
  return d;
}

IoctlReply Descriptor(const PortModel& port, const IoctlCall& call) {
  if (call.in.size() < 12 || !port.connected) return {};
  const uint16_t value = Le16(call.in, 6);
  const uint16_t length = Le16(call.in, 10);
  std::vector<uint8_t> data;
  if (value == 0x0200) {
    data = {9, 2, 9, 0, 1, 1, 0, 0x80, 50};
  } else if (value == 0x0300) {
    data = StringDescriptor(u"\u0409");
  } else if ((value >> 8) == 3 && (value & 0xFF) == port.serial_index) {
    data = StringDescriptor(port.serial);
  } else {
    return {};
  }
  if (data.size() > length) data.resize(length);
  std::vector<uint8_t> reply(call.in.begin(), call.in.begin() + 12);
  reply.insert(reply.end(), data.begin(), data.end());
  return {true, reply};
}

IoctlReply HubAnswer(const HubModel& hub, const IoctlCall& call) {
  if (call.code == kNodeInformation) {
    std::vector<uint8_t> node(76, 0);
    node[6] = static_cast<uint8_t>(hub.ports.size());
    return {true, node};
  }
  if (call.in.size() < 4) return {};
  const uint32_t number = Le32(call.in, 0);
  if (number < 1 || number > hub.ports.size()) return {};
  const PortModel& port = hub.ports[number - 1];
  switch (call.code) {
    case kConnectionInformation: {
      std::vector<uint8_t> info(35, 0);
      PutLe32(info, 0, number);
      if (port.connected) {
        info[4] = 18;
        info[5] = 1;
        PutLe16(info, 4 + 8, port.vendor);
        PutLe16(info, 4 + 10, port.product);
        info[4 + 16] = port.serial_index;
        PutLe32(info, 31, 1);
      }
      info[24] = port.is_hub ? 1 : 0;
      return {true, info};
    }
    case kConnectionName: {
      std::vector<uint8_t> header(8, 0);
      PutLe32(header, 0, number);
      return NameRecord(header, 4, port.is_hub ? port.hub_name : u"", call.out_size);
    }
    case kDescriptor:
      return Descriptor(port, call);
    default:
      return {};
  }
}

}  // namespace

PortModel MeterPort(const std::u16string& serial) {
  PortModel port;
  port.connected = true;
  port.serial = serial;
  return port;
}

PortModel HubPort(const std::u16string& name) {
  PortModel port;
  port.connected = true;
  port.is_hub = true;
  port.hub_name = name;
  port.vendor = 0x05E3;
  port.product = 0x0608;
  port.serial_index = 0;
  return port;
}

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

void PutLe32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Install(Topology topology) {
  auto model = std::make_shared<Topology>(std::move(topology));
  Host& host = TheHost();
  host.opens = [model](const std::string& path) {
    for (const auto& [number, name] : model->controllers) {
      if (path == "\\\\.\\HCD" + std::to_string(number)) return true;
    }
    return model->hubs.count(path) != 0;
  };
  host.ioctl = [model](const IoctlCall& call) {
    IoctlReply reply;
    bool controller = false;
    for (const auto& [number, name] : model->controllers) {
      if (call.path != "\\\\.\\HCD" + std::to_string(number)) continue;
      controller = true;
      if (call.code == kRootHubName)
        reply = NameRecord(std::vector<uint8_t>(4, 0), 0, name, call.out_size);
    }
    if (!controller) {
      const auto hub = model->hubs.find(call.path);
      if (hub != model->hubs.end()) reply = HubAnswer(hub->second, call);
    }
    if (model->tamper) model->tamper(call, reply);
    return reply;
  };
}

}  // namespace scripted
