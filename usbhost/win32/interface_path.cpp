// The SetupAPI lookup of a device interface's path: the device information
// set of the present interfaces of a class, the interface at a position, and
// its detail record, whose DevicePath is copied out.
#include <windows.h>

#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "usbhost.h"

namespace {

// The set is destroyed on every path out of the lookup.
struct DeviceInfoSet {
  HDEVINFO set;
  ~DeviceInfoSet() {
    if (set != INVALID_HANDLE_VALUE) {
      SetupDiDestroyDeviceInfoList(set);
    }
  }
};

// Copies DevicePath out of a detail record of `record_size` bytes. The text
// is looked for only inside the record, and copied only when it fits into
// `size` bytes with its terminator.
int copy_device_path(const SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD record_size, char* path,
                     uint32_t size) {
  constexpr std::size_t path_offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (record_size <= path_offset) {
    return 0;
  }
  const std::size_t room = record_size - path_offset;
  const char* text = detail->DevicePath;
  const void* end = std::memchr(text, '\0', room);
  if (end == nullptr) {
    return 0;
  }
  const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - text);
  if (length + 1 > size) {
    return 0;
  }
  std::memcpy(path, text, length + 1);
  return 1;
}

}  // namespace

extern "C" int usbhost_interface_path(const uint8_t guid[16], int32_t position, char* path,
                                      uint32_t size) {
  if (guid == nullptr || path == nullptr || size == 0 || position < 0) {
    return 0;
  }
  GUID interface_class;
  static_assert(sizeof interface_class == 16);
  std::memcpy(&interface_class, guid, sizeof interface_class);

  DeviceInfoSet info{SetupDiGetClassDevsA(&interface_class, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)};
  if (info.set == INVALID_HANDLE_VALUE) {
    return 0;
  }

  SP_DEVICE_INTERFACE_DATA interface_data{};
  static_assert(sizeof interface_data == (sizeof(void*) == 4 ? 28 : 32));
  interface_data.cbSize = sizeof interface_data;
  if (!SetupDiEnumDeviceInterfaces(info.set, nullptr, &interface_class,
                                   static_cast<DWORD>(position), &interface_data)) {
    return 0;
  }

  // The first call only reports the size the detail record needs; its own
  // result is a failure by design.
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(info.set, &interface_data, nullptr, 0, &required, nullptr);
  if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    return 0;
  }
  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[required]);
  if (!buffer) {
    return 0;
  }
  const DWORD record_size = required;
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.get());
  // cbSize is the record's fixed size on the platform, not the buffer's:
  // 5 bytes on x86 (packed DWORD and one CHAR), 8 on x64 (padded).
  static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 4 ? 5 : 8));
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!SetupDiGetDeviceInterfaceDetailA(info.set, &interface_data, detail, record_size, &required,
                                        nullptr)) {
    return 0;
  }
  return copy_device_path(detail, record_size, path, size);
}
