#include "descriptor_reads.h"

#include <cstring>

namespace bulkpipe {
namespace {

void SetRequestHeader(uint8_t* request, uint32_t port, uint16_t value, uint16_t index,
                      uint16_t length) {
  WriteLe32(request + descriptor_request::kConnectionIndex, port);
  WriteLe16(request + descriptor_request::kWValue, value);
  WriteLe16(request + descriptor_request::kWIndex, index);
  WriteLe16(request + descriptor_request::kWLength, length);
}

}  // namespace

ByteBuffer ReadConfigDescriptor(usbhost_handle hub, uint32_t port) {
  using descriptor_request::kHeaderSize;
  constexpr uint32_t kHeadSize = kHeaderSize + configuration_descriptor::kSize;
  uint8_t head[kHeadSize] = {};
  SetRequestHeader(head, port, configuration_descriptor::kRequestValue, 0,
                   configuration_descriptor::kSize);
  uint32_t returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetDescriptorFromNodeConnection, head, kHeadSize, head, kHeadSize,
                     &returned) ||
      returned != kHeadSize) {
    return ByteBuffer();
  }
  const uint16_t total_length =
      ReadLe16(head + kHeaderSize + configuration_descriptor::kWTotalLength);
  if (total_length < configuration_descriptor::kSize) return ByteBuffer();

  // wTotalLength is 16-bit, so this allocation is bounded by 64 KiB.
  const uint32_t full_size = kHeaderSize + total_length;
  ByteBuffer full = ByteBuffer::Zeroed(full_size);
  if (!full.ok()) return full;
  SetRequestHeader(full.data(), port, configuration_descriptor::kRequestValue, 0, total_length);
  returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetDescriptorFromNodeConnection, full.data(), full_size,
                     full.data(), full_size, &returned) ||
      returned != full_size ||
      ReadLe16(full.data() + kHeaderSize + configuration_descriptor::kWTotalLength) !=
          total_length) {
    return ByteBuffer();
  }
  return full;
}

std::optional<StringDescriptor> ReadStringDescriptor(usbhost_handle hub, uint32_t port,
                                                     uint8_t index, uint16_t language) {
  using descriptor_request::kHeaderSize;
  constexpr uint32_t kRequestSize = kHeaderSize + string_descriptor::kMaxSize;  // 267
  uint8_t request[kRequestSize] = {};
  SetRequestHeader(request, port, static_cast<uint16_t>(string_descriptor::kRequestType | index),
                   language, string_descriptor::kMaxSize);
  uint32_t returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetDescriptorFromNodeConnection, request, kRequestSize, request,
                     kRequestSize, &returned)) {
    return std::nullopt;
  }
  // bLength and bDescriptorType must both have come back, and bLength must
  // account for exactly the bytes returned, so the copy below stays inside
  // both the reply and our record.
  if (returned < kHeaderSize + 2 || returned > kRequestSize) return std::nullopt;
  const uint8_t* descriptor = request + kHeaderSize;
  const uint8_t length = descriptor[string_descriptor::kBLength];
  if (descriptor[string_descriptor::kBDescriptorType] != string_descriptor::kType ||
      length != returned - kHeaderSize || length % 2 != 0) {
    return std::nullopt;
  }

  StringDescriptor result;
  result.index = index;
  result.language = language;
  result.length = length;
  std::memcpy(result.bytes, descriptor, length);
  return result;
}

}  // namespace bulkpipe
