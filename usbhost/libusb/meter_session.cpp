#include "meter_session.h"

#include <climits>

#include "io_limits.h"

namespace usbhost_libusb {
namespace {

struct Endpoints {
  int interface_number = -1;
  uint8_t out = 0;
  uint8_t in = 0;
  uint32_t in_packet_size = 0;
};

// The first interface's bulk OUT and bulk IN endpoints (pipes 0 and 1), from
// the configuration libusb holds (read from sysfs, nothing is sent).
Endpoints FindEndpoints(libusb_device* device) {
  Endpoints found;
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0) {
    return found;
  }
  if (config->bNumInterfaces >= 1 && config->interface[0].num_altsetting >= 1) {
    const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
    found.interface_number = setting.bInterfaceNumber;
    for (int i = 0; i < setting.bNumEndpoints; ++i) {
      const libusb_endpoint_descriptor& e = setting.endpoint[i];
      if ((e.bmAttributes & 0x03) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      const bool is_in = (e.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
      if (is_in && found.in == 0) {
        found.in = e.bEndpointAddress;
        found.in_packet_size = e.wMaxPacketSize & 0x7FF;
      } else if (!is_in && found.out == 0) {
        found.out = e.bEndpointAddress;
      }
    }
  }
  libusb_free_config_descriptor(config);
  return found;
}

OpenFailure FailureOf(int error) {
  switch (error) {
    case LIBUSB_ERROR_ACCESS:
      return OpenFailure::kNoPermission;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
      return OpenFailure::kNoDevice;
    case LIBUSB_ERROR_BUSY:
      return OpenFailure::kBusy;
    default:
      return OpenFailure::kOther;
  }
}

}  // namespace

std::shared_ptr<MeterSession> MeterSession::Open(libusb_context* context, const FoundDevice& found,
                                                 OpenFailure* failure) {
  *failure = OpenFailure::kNoDevice;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  if (count < 0) return nullptr;
  libusb_device* device = nullptr;
  for (ssize_t i = 0; i < count && device == nullptr; ++i) {
    if (libusb_get_bus_number(list[i]) == found.bus &&
        libusb_get_device_address(list[i]) == found.address) {
      device = libusb_ref_device(list[i]);
    }
  }
  libusb_free_device_list(list, 1);
  if (device == nullptr) return nullptr;

  const Endpoints endpoints = FindEndpoints(device);
  libusb_device_handle* handle = nullptr;
  const int opened = libusb_open(device, &handle);
  libusb_unref_device(device);
  if (opened != 0) {
    *failure = FailureOf(opened);
    return nullptr;
  }
  if (endpoints.interface_number < 0 || endpoints.out == 0 || endpoints.in == 0) {
    *failure = OpenFailure::kOther;
    libusb_close(handle);
    return nullptr;
  }
  // A kernel driver bound to the interface (say, a generic serial driver
  // matching the ids) holds it; it gets the interface back afterwards.
  bool reattach = false;
  if (libusb_kernel_driver_active(handle, endpoints.interface_number) == 1) {
    const int detached = libusb_detach_kernel_driver(handle, endpoints.interface_number);
    if (detached != 0) {
      *failure = FailureOf(detached);
      libusb_close(handle);
      return nullptr;
    }
    reattach = true;
  }
  const int claimed = libusb_claim_interface(handle, endpoints.interface_number);
  if (claimed != 0) {
    *failure = FailureOf(claimed);
    if (reattach) libusb_attach_kernel_driver(handle, endpoints.interface_number);
    libusb_close(handle);
    return nullptr;
  }
  *failure = OpenFailure::kNone;
  return std::shared_ptr<MeterSession>(new MeterSession(handle, endpoints.interface_number,
                                                        reattach, endpoints.out, endpoints.in,
                                                        endpoints.in_packet_size));
}

MeterSession::MeterSession(libusb_device_handle* handle, int interface_number, bool reattach,
                           uint8_t out_endpoint, uint8_t in_endpoint, uint32_t in_packet_size)
    : handle_(handle),
      interface_number_(interface_number),
      reattach_(reattach),
      out_endpoint_(out_endpoint),
      in_endpoint_(in_endpoint),
      reader_(in_packet_size) {}

MeterSession::~MeterSession() {
  // A device already gone fails these at once.
  libusb_release_interface(handle_, interface_number_);
  if (reattach_) libusb_attach_kernel_driver(handle_, interface_number_);
  libusb_close(handle_);
}

bool MeterSession::Write(const uint8_t* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (size > INT_MAX) return false;
  reader_.NewCommand();
  int sent = 0;
  // libusb takes a non-const buffer for both directions; an OUT transfer
  // only reads it.
  const int result = libusb_bulk_transfer(handle_, out_endpoint_, const_cast<uint8_t*>(data),
                                          static_cast<int>(size), &sent, kWriteLimitMs);
  if (result != 0 || sent < 0 || static_cast<uint32_t>(sent) != size) return false;
  *done = size;
  return true;
}

bool MeterSession::Read(uint8_t* data, uint32_t size, uint32_t* done) {
  *done = 0;
  if (size > INT_MAX / 2) return false;
  const BulkIn bulk_in = [this](uint8_t* block, uint32_t length, uint32_t* got,
                                unsigned timeout_ms) {
    int received = 0;
    const int result = libusb_bulk_transfer(handle_, in_endpoint_, block, static_cast<int>(length),
                                            &received, timeout_ms);
    *got = received > 0 ? static_cast<uint32_t>(received) : 0;
    if (result == 0) return TransferEnd::kCompleted;
    if (result == LIBUSB_ERROR_TIMEOUT) return TransferEnd::kTimedOut;
    return TransferEnd::kFailed;
  };
  return reader_.Read(bulk_in, data, size, done);
}

}  // namespace usbhost_libusb
