// "IDN" and "GET_SENSER": what the meter says about itself and its sensor.
#include <cstring>

#include "command_text.h"
#include "commands.h"

static_assert(sizeof(IdnInfo) == 30 + 30 + 15 + 5, "IdnInfo is four texts back to back");

namespace meterlink {
namespace {

// The version field's first three characters: "100" becomes "1.00".
constexpr std::size_t kVersionDigits = 3;

}  // namespace

int32_t QueryIdentity(Meter& meter, IdnInfo& info, Battery battery) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, "IDN"), battery);
  if (sent != MLINK_OK) return sent;

  const ReplyFields fields = CurrentReplyFields(meter);
  const std::optional<std::string_view> version = fields.Field(4);
  // Fewer than four fields, or a version too short to make "d.dd" from:
  // not an identification, and no character is guessed.
  if (!version || version->size() < kVersionDigits) return MLINK_NOT_RECOGNISED;

  // Built aside and copied whole, so a refused reply leaves info as it was.
  IdnInfo out{};
  CopyCut(*fields.Field(1), out.maker, sizeof out.maker);
  CopyCut(*fields.Field(2), out.model, sizeof out.model);
  CopyCut(*fields.Field(3), out.serial, sizeof out.serial);
  const char versionText[] = {(*version)[0], '.', (*version)[1], (*version)[2], '\0'};
  static_assert(sizeof versionText == sizeof out.version);
  std::memcpy(out.version, versionText, sizeof versionText);
  info = out;
  return MLINK_OK;
}

int32_t QuerySensor(Meter& meter) {
  return SendAssembled(meter, AssembleCommand(meter, "GET_SENSER"));
}

}  // namespace meterlink
