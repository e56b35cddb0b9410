// The detail text of the last failing call, per thread
// (mlink_last_error_detail). Internal to the library.
#ifndef LX40_METERLINK_ERROR_DETAIL_H
#define LX40_METERLINK_ERROR_DETAIL_H

#include <cstdint>
#include <string>

namespace meterlink {

// Keeps `detail` as this thread's text and gives `code` back, so a failure
// reads `return Fail(MLINK_ERR_..., text);`.
int32_t Fail(int32_t code, std::string detail);

}  // namespace meterlink

#endif
