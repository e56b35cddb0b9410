// The usbhost functions of the simulator: each forwards to the one bus,
// which the first call builds when the program has not (sim_autoload.h).
#include "usbhost.h"

#include "bus/sim_autoload.h"
#include "bus/sim_bus.h"

extern "C" {

USBHOST_API usbhost_handle usbhost_open(const char* path, uint32_t access, uint32_t share) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().Open(path, access, share);
}

USBHOST_API int usbhost_close(usbhost_handle h) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().Close(h);
}

USBHOST_API int usbhost_write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().Write(h, data, size, done);
}

USBHOST_API int usbhost_read(usbhost_handle h, void* data, uint32_t size, uint32_t* done) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().Read(h, data, size, done);
}

USBHOST_API int usbhost_ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size,
                              void* out, uint32_t out_size, uint32_t* returned) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().Ioctl(h, code, in, in_size, out, out_size, returned);
}

USBHOST_API int usbhost_interface_path(const uint8_t guid[16], int32_t position, char* path,
                                       uint32_t size) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().InterfacePathAt(guid, position, path, size);
}

USBHOST_API int usbhost_interface_location(const char* path, char* port, uint32_t size,
                                           uint32_t* generation) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().InterfaceLocation(path, port, size, generation);
}

USBHOST_API uint32_t usbhost_open_error(char* node, uint32_t size) {
  usbsim::EnsureAutoloaded();
  return usbsim::Bus::Instance().OpenError(node, size);
}

}  // extern "C"
