// mlink_last_error_detail and the per-thread text behind it.
#include "error_detail.h"

#include <cstring>

#include "mlink.h"

namespace meterlink {
namespace {

// Bounded: a detail names a file and a reason, never more.
constexpr std::size_t kMaxDetail = 1024;

std::string& Detail() {
  thread_local std::string detail;
  return detail;
}

}  // namespace

int32_t Fail(int32_t code, std::string detail) {
  if (detail.size() > kMaxDetail) detail.resize(kMaxDetail);
  Detail() = std::move(detail);
  return code;
}

}  // namespace meterlink

extern "C" MLINK_API int32_t MLINK_CALL mlink_last_error_detail(char* text, size_t size) {
  if (text == nullptr || size == 0) return MLINK_BAD_ARGUMENT;
  const std::string& detail = meterlink::Detail();
  if (detail.size() + 1 > size) {
    text[0] = '\0';
    return MLINK_ERR_BUFFER_TOO_SMALL;
  }
  std::memcpy(text, detail.c_str(), detail.size() + 1);
  return MLINK_OK;
}
