// The libusb implementation of the usbhost calls: one per process (the C
// functions have no context argument), thread-safe.
//
// What Bulkpipe's walk asks of the hub driver is answered from a snapshot
// of the system's devices (bus_snapshot.h), taken afresh when a walk opens
// \\.\HCD0 and at each interface lookup, so a walk sees one consistent
// topology. The meter interfaces are the devices with the meter's vendor and
// product ids; an interface's path is its device file, and its pipes are
// "<path>\0" (command, bulk OUT) and "<path>\1" (reply, bulk IN).
#ifndef LX40_USBHOST_LIBUSB_BACKEND_H
#define LX40_USBHOST_LIBUSB_BACKEND_H

#include <cstdint>
#include <string>

#include "usbhost.h"

namespace usbhost_libusb {

usbhost_handle Open(const char* path, uint32_t access);
bool Close(usbhost_handle h);
bool Write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done);
bool Read(usbhost_handle h, void* data, uint32_t size, uint32_t* done);
bool Ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
           uint32_t out_size, uint32_t* returned);
bool InterfacePathAt(const uint8_t guid[16], int32_t position, char* path, uint32_t size);
bool InterfaceLocation(const char* path, char* port, uint32_t size, uint32_t* generation);
// Why this thread's last Open failed, and the device file it concerned.
uint32_t OpenError(std::string* node);

}  // namespace usbhost_libusb

#endif
