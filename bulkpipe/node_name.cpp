#include "node_name.h"

#include <algorithm>

#include "ansi_text.h"
#include "usb_records.h"

namespace bulkpipe {
namespace {

// An ActualLength from a size query is usable when it covers the fixed part
// and at least one UTF-16 unit, leaves the text a whole number of units and
// stays within our bound.
bool RecordSizeIsSound(uint32_t actual_length, uint32_t name_offset) {
  return actual_length >= name_offset + 2 && actual_length <= kMaxNameRecordSize &&
         (actual_length - name_offset) % 2 == 0;
}

// The text of a filled name record: only the bytes the driver returned and
// the record holds are read.
ByteBuffer NameText(const ByteBuffer& record, uint32_t returned, uint32_t name_offset) {
  const size_t filled = std::min<size_t>(returned, record.size());
  if (filled <= name_offset) return ByteBuffer();
  return AnsiFromUtf16(record.data() + name_offset, filled - name_offset);
}

}  // namespace

ByteBuffer QueryRootHubName(usbhost_handle controller) {
  uint8_t size_query[root_hub_name::kSize] = {};
  uint32_t returned = 0;
  if (!usbhost_ioctl(controller, kIoctlGetRootHubName, nullptr, 0, size_query, sizeof size_query,
                     &returned) ||
      returned < root_hub_name::kActualLength + 4) {
    return ByteBuffer();
  }
  const uint32_t actual_length = ReadLe32(size_query + root_hub_name::kActualLength);
  if (!RecordSizeIsSound(actual_length, root_hub_name::kName)) return ByteBuffer();

  ByteBuffer record = ByteBuffer::Zeroed(actual_length);
  if (!record.ok()) return ByteBuffer();
  returned = 0;
  if (!usbhost_ioctl(controller, kIoctlGetRootHubName, nullptr, 0, record.data(), actual_length,
                     &returned)) {
    return ByteBuffer();
  }
  return NameText(record, returned, root_hub_name::kName);
}

ByteBuffer QueryPortHubName(usbhost_handle hub, uint32_t port) {
  uint8_t size_query[connection_name::kSize] = {};
  WriteLe32(size_query + connection_name::kConnectionIndex, port);
  uint32_t returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetNodeConnectionName, size_query, sizeof size_query, size_query,
                     sizeof size_query, &returned) ||
      returned < connection_name::kActualLength + 4) {
    return ByteBuffer();
  }
  const uint32_t actual_length = ReadLe32(size_query + connection_name::kActualLength);
  // A length that holds no more than the fixed record means: no hub name.
  if (actual_length <= connection_name::kSize) return ByteBuffer();
  if (!RecordSizeIsSound(actual_length, connection_name::kName)) return ByteBuffer();

  ByteBuffer record = ByteBuffer::Zeroed(actual_length);
  if (!record.ok()) return ByteBuffer();
  WriteLe32(record.data() + connection_name::kConnectionIndex, port);
  returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetNodeConnectionName, record.data(), actual_length, record.data(),
                     actual_length, &returned)) {
    return ByteBuffer();
  }
  return NameText(record, returned, connection_name::kName);
}

}  // namespace bulkpipe
