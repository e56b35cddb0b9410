// The usbhost functions of the libusb backend: each forwards to the one
// backend (backend.h).
#include <cstring>
#include <string>

#include "backend.h"
#include "usbhost.h"

extern "C" {

USBHOST_API usbhost_handle usbhost_open(const char* path, uint32_t access, uint32_t /*share*/) {
  return usbhost_libusb::Open(path, access);
}

USBHOST_API int usbhost_close(usbhost_handle h) { return usbhost_libusb::Close(h); }

USBHOST_API int usbhost_write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done) {
  return usbhost_libusb::Write(h, data, size, done);
}

USBHOST_API int usbhost_read(usbhost_handle h, void* data, uint32_t size, uint32_t* done) {
  return usbhost_libusb::Read(h, data, size, done);
}

USBHOST_API int usbhost_ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size,
                              void* out, uint32_t out_size, uint32_t* returned) {
  return usbhost_libusb::Ioctl(h, code, in, in_size, out, out_size, returned);
}

USBHOST_API int usbhost_interface_path(const uint8_t guid[16], int32_t position, char* path,
                                       uint32_t size) {
  return usbhost_libusb::InterfacePathAt(guid, position, path, size);
}

USBHOST_API int usbhost_interface_location(const char* path, char* port, uint32_t size,
                                           uint32_t* generation) {
  return usbhost_libusb::InterfaceLocation(path, port, size, generation);
}

USBHOST_API uint32_t usbhost_open_error(char* node, uint32_t size) {
  std::string text;
  const uint32_t code = usbhost_libusb::OpenError(&text);
  if (node != nullptr && size != 0) {
    const size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(node, text.data(), n);
    node[n] = '\0';
  }
  return code;
}

}  // extern "C"
