/*
 * usbhost: the operating-system services that Bulkpipe and Meterlink call.
 *
 * Each function stands for one Windows call and keeps its shape: the same
 * arguments in the same order, 1 for success and 0 for failure. Access and
 * share values, IOCTL codes and the byte-packed records passed to
 * usbhost_ioctl are the Windows ones; this layer passes them through and
 * never reinterprets them (one exception: the share mode of a meter's pipe
 * on Windows, at usbhost_open). Three implementations exist:
 *   usbhost/win32  - forwards to kernel32 and SetupAPI;
 *   usbhost/sim    - a virtual USB bus with virtual LX40 meters;
 *   usbhost/libusb - real meters on Linux through libusb-1.0, the hub
 *                    driver's records answered from the system's topology.
 *
 * Policy (argument checks, buffer bounds, what a failure means) belongs to
 * the callers; an implementation only answers the call.
 */
#ifndef LX40_USBHOST_USBHOST_H
#define LX40_USBHOST_USBHOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define USBHOST_API
#else
#define USBHOST_API __attribute__((visibility("default")))
#endif

typedef intptr_t usbhost_handle;
#define USBHOST_INVALID ((usbhost_handle)-1)

#define USBHOST_GENERIC_READ 0x80000000u
#define USBHOST_GENERIC_WRITE 0x40000000u
#define USBHOST_FILE_SHARE_READ 0x1u
#define USBHOST_FILE_SHARE_WRITE 0x2u

/* CreateFileA(path, access, share, NULL, OPEN_EXISTING, 0, NULL).
 * Returns an open handle or USBHOST_INVALID. Never blocks on device I/O.
 * Windows: a meter's pipe ("<interface path>\<number>") is opened with share
 * mode 0 whatever `share` says, so that no other program drives the meter
 * while it is open. */
USBHOST_API usbhost_handle usbhost_open(const char* path, uint32_t access, uint32_t share);

/* CloseHandle. 0 for a handle that is not open. */
USBHOST_API int usbhost_close(usbhost_handle h);

/* WriteFile, synchronous: writes size bytes in one transfer; *done receives
 * the count written (done may not be null). Returns within a bounded time. */
USBHOST_API int usbhost_write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done);

/* ReadFile, synchronous: reads at most size bytes into data; *done receives
 * the count read (done may not be null). A read on an idle pipe completes
 * with success and *done = 0 within a bounded time: it never blocks for ever. */
USBHOST_API int usbhost_read(usbhost_handle h, void* data, uint32_t size, uint32_t* done);

/* DeviceIoControl, synchronous, with the Windows IOCTL code and in/out
 * buffers exactly as given; *returned receives the bytes written to out
 * (returned may not be null). A request the device never completes fails
 * within a bounded time. */
USBHOST_API int usbhost_ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size,
                              void* out, uint32_t out_size, uint32_t* returned);

/* The SetupAPI lookup: the DevicePath of the present device interface of
 * class guid (16 bytes, Windows GUID layout) at the zero-based position.
 * Writes the NUL-terminated path into path (size bytes); fails when there is
 * no interface at that position or the path does not fit. */
USBHOST_API int usbhost_interface_path(const uint8_t guid[16], int32_t position, char* path,
                                       uint32_t size);

/* Where the device behind the interface `path` (as usbhost_interface_path
 * gives it) is plugged. Writes into port (size bytes) its port as a
 * NUL-terminated text: the bus number, a dash, then the hub port numbers
 * from the root hub down, joined by dots ("1-2.4": bus 1, root port 2, port 4
 * of the hub there). *generation (may not be null) receives a number that
 * differs each time a device is plugged in at that place, so the same
 * interface path before and after a re-plug can be told apart.
 * Fails when no present device has that interface path, or the port does
 * not fit; nothing is sent to the device.
 *   usbhost/sim   - from the virtual topology (the generation is the
 *                   plugged device's id, new on every Plug);
 *   usbhost/win32 - from the device's location paths property
 *                   (USBROOT(n)#USB(p)#USB(q) gives "n+1-p.q") and its last
 *                   arrival time. */
USBHOST_API int usbhost_interface_location(const char* path, char* port, uint32_t size,
                                           uint32_t* generation);

/* Why the calling thread's last usbhost_open failed, where a caller can act
 * on it: USBHOST_OPEN_NO_PERMISSION when the device is there but this user
 * may not open its device file, whose name is written into node (size
 * bytes, NUL-terminated, cut to fit); else 0 and node "". node may be null.
 *   usbhost/libusb - libusb_open refused with an access error;
 *   usbhost/sim    - a device plugged with DescriptorFaults::open_denied;
 *   usbhost/win32  - always 0: Windows reports a meter held by another
 *                    program as access denied, which the meter's lock file
 *                    already tells. */
#define USBHOST_OPEN_NO_PERMISSION 5u
USBHOST_API uint32_t usbhost_open_error(char* node, uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
