// One open meter: its libusb device handle and the one claim of its
// interface, shared by both pipe handles (and the interface handle that
// Bulkpipe opens first to probe it). A kernel driver bound to the interface
// is detached for the claim and attached again when the last handle closes.
#ifndef LX40_USBHOST_LIBUSB_METER_SESSION_H
#define LX40_USBHOST_LIBUSB_METER_SESSION_H

#include <libusb.h>

#include <cstdint>
#include <memory>
#include <string>

#include "found_device.h"
#include "reply_reader.h"

namespace usbhost_libusb {

// Why a session could not be opened.
enum class OpenFailure { kNone, kNoDevice, kNoPermission, kBusy, kOther };

class MeterSession {
 public:
  // Opens the device `found` names (by bus and address) and claims its
  // first interface; null with *failure set when it cannot.
  static std::shared_ptr<MeterSession> Open(libusb_context* context, const FoundDevice& found,
                                            OpenFailure* failure);
  ~MeterSession();

  MeterSession(const MeterSession&) = delete;
  MeterSession& operator=(const MeterSession&) = delete;

  // usbhost_write on pipe 0 and usbhost_read on pipe 1.
  bool Write(const uint8_t* data, uint32_t size, uint32_t* done);
  bool Read(uint8_t* data, uint32_t size, uint32_t* done);

 private:
  MeterSession(libusb_device_handle* handle, int interface_number, bool reattach,
               uint8_t out_endpoint, uint8_t in_endpoint, uint32_t in_packet_size);

  libusb_device_handle* handle_;
  int interface_number_;
  bool reattach_;
  uint8_t out_endpoint_;
  uint8_t in_endpoint_;
  ReplyReader reader_;
};

}  // namespace usbhost_libusb

#endif
