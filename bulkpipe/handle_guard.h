// Closes a usbhost handle when the step that opened it returns, on every path.
#ifndef LX40_BULKPIPE_HANDLE_GUARD_H
#define LX40_BULKPIPE_HANDLE_GUARD_H

#include "usbhost.h"

namespace bulkpipe {

class HandleGuard {
 public:
  explicit HandleGuard(usbhost_handle handle) : handle_(handle) {}
  ~HandleGuard() {
    if (handle_ != USBHOST_INVALID) usbhost_close(handle_);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;

  bool valid() const { return handle_ != USBHOST_INVALID; }
  usbhost_handle get() const { return handle_; }

 private:
  usbhost_handle handle_;
};

}  // namespace bulkpipe

#endif
