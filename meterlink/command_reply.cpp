#include "command_reply.h"

#include <cstring>

#include "formats/decimal_parse.h"
#include "mlink.h"

namespace meterlink {

int32_t SendAssembled(Meter& meter, const char* command, Battery battery) {
  if (command == nullptr) return MLINK_TRANSPORT_FAILED;
  return SendMeterCommand(meter, command, meter.reply_text(), battery == Battery::kSkip ? 1 : 0);
}

int32_t ExpectOk(Meter& meter, int32_t sent) {
  if (sent != MLINK_OK) return sent;
  return std::strcmp(meter.reply_text(), "OK") == 0 ? MLINK_OK : MLINK_NOT_RECOGNISED;
}

ReplyFields CurrentReplyFields(Meter& meter) {
  return SplitReplyFields(meter.reply_text(), kReplyTextSize);
}

std::optional<int32_t> IntegerField(const ReplyFields& fields, std::size_t number) {
  const std::optional<std::string_view> field = fields.Field(number);
  if (!field) return std::nullopt;
  return ParseDecimalInteger(*field);
}

std::optional<float> RealField(const ReplyFields& fields, std::size_t number) {
  const std::optional<std::string_view> field = fields.Field(number);
  if (!field) return std::nullopt;
  return ParseDecimalReal(*field);
}

void CopyCut(std::string_view text, char* out, std::size_t size) {
  const std::size_t length = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace meterlink
