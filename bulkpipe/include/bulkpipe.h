/*
 * Bulkpipe: USB bulk transport for LX40 meters.
 *
 * CheckUSBDevices counts the attached meters by walking the USB hub trees;
 * OpenUSBBulkFile opens one bulk pipe of the meter at a device position as a
 * synchronous file handle owned by the caller.
 *
 * Threads: both may be called from several threads at once; a call keeps
 * nothing after it returns.
 *
 * Windows: Bulkpipe.dll exports both by name and by ordinal
 * (1 OpenUSBBulkFile, 2 CheckUSBDevices). Linux: libbulkpipe.so by name.
 */
#ifndef LX40_BULKPIPE_BULKPIPE_H
#define LX40_BULKPIPE_BULKPIPE_H

#include <stdint.h>

#include "usbhost.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define BULKPIPE_API
#else
#define BULKPIPE_API __attribute__((visibility("default")))
#endif

/* Ordinal 1. Opens pipe `pipe` ("<interface path>\<pipe>") of the meter at
 * zero-based `position` among the present meter interfaces. Returns the open
 * handle (close it with usbhost_close) or USBHOST_INVALID. */
BULKPIPE_API usbhost_handle OpenUSBBulkFile(int32_t pipe, int32_t position);

/* Ordinal 2. Walks host controllers \\.\HCD0..9 and their hubs and returns
 * the number of attached meters. When `serials` is not null it receives the
 * meters' 9-character serial numbers joined by ",", NUL-terminated; it must
 * hold 10 bytes per meter that may be attached. */
BULKPIPE_API int32_t CheckUSBDevices(char* serials);

#ifdef __cplusplus
}
#endif

#endif
