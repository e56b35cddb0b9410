// Where the device behind an interface path is plugged: the interface is
// opened in an empty device information set by its path, and its device's
// location paths property gives the port; the last arrival time of the
// device gives the plug generation.
#include <windows.h>

#include <devpropdef.h>
#include <setupapi.h>

#include <initguid.h>  // after devpropdef.h: defines the key below here

#include <devpkey.h>

#include <cstring>
#include <string>

#include "location_paths.h"
#include "usbhost.h"

namespace {

struct DeviceInfoSet {
  HDEVINFO set;
  ~DeviceInfoSet() {
    if (set != INVALID_HANDLE_VALUE) {
      SetupDiDestroyDeviceInfoList(set);
    }
  }
};

// Location paths are short; a property that does not fit is not one.
constexpr DWORD kLocationRoom = 2048;

// The arrival time folded into 32 bits, or 0 when the system has none.
uint32_t ArrivalGeneration(HDEVINFO set, SP_DEVINFO_DATA* device) {
  FILETIME arrival{};
  DEVPROPTYPE type = 0;
  DWORD required = 0;
  if (!SetupDiGetDevicePropertyW(set, device, &DEVPKEY_Device_LastArrivalDate, &type,
                                 reinterpret_cast<PBYTE>(&arrival), sizeof arrival, &required, 0) ||
      type != DEVPROP_TYPE_FILETIME) {
    return 0;
  }
  return arrival.dwLowDateTime ^ arrival.dwHighDateTime;
}

}  // namespace

extern "C" int usbhost_interface_location(const char* path, char* port, uint32_t size,
                                          uint32_t* generation) {
  if (path == nullptr || port == nullptr || generation == nullptr || size == 0) {
    return 0;
  }
  DeviceInfoSet info{SetupDiCreateDeviceInfoList(nullptr, nullptr)};
  if (info.set == INVALID_HANDLE_VALUE) {
    return 0;
  }
  SP_DEVICE_INTERFACE_DATA interface_data{};
  interface_data.cbSize = sizeof interface_data;
  if (!SetupDiOpenDeviceInterfaceA(info.set, path, 0, &interface_data)) {
    return 0;
  }
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  DWORD required = 0;
  // Only the device record is wanted: a detail buffer of null and size 0
  // fails by design while filling `device`.
  SetupDiGetDeviceInterfaceDetailA(info.set, &interface_data, nullptr, 0, &required, &device);
  if (device.DevInst == 0) {
    return 0;
  }
  char locations[kLocationRoom] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(info.set, &device, SPDRP_LOCATION_PATHS, &type,
                                         reinterpret_cast<PBYTE>(locations), sizeof locations,
                                         &required) ||
      type != REG_MULTI_SZ) {
    return 0;
  }
  const DWORD filled = required < sizeof locations ? required : sizeof locations;
  const std::string text = usbhost_win32::PortFromLocationList(locations, filled);
  if (text.empty() || text.size() + 1 > size) {
    return 0;
  }
  std::memcpy(port, text.c_str(), text.size() + 1);
  *generation = ArrivalGeneration(info.set, &device);
  return 1;
}
