// usbhost_open_error on Windows: nothing to report. CreateFileA refuses a
// meter interface that another program holds with ERROR_ACCESS_DENIED, and
// Meterlink's lock file already says "in use by another program"; there are
// no device-file permissions to install.
#include "usbhost.h"

extern "C" uint32_t usbhost_open_error(char* node, uint32_t size) {
  if (node != nullptr && size != 0) node[0] = '\0';
  return 0;
}
