// "GET_MODE" and "SET_MODE": the measurement mode (wavelength, relative
// mode, hold, range mode, unit), queried as mode keyword indices or set from
// them.
#include <cstring>

#include "command_text.h"
#include "commands.h"
#include "formats/mode_keyword.h"
#include "formats/signed_field.h"
#include "formats/unit_code.h"

namespace meterlink {
namespace {

constexpr int kWavelengthDigits = 5;

bool InRange(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }

}  // namespace

int32_t QueryMode(Meter& meter, ModeSettings& settings) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, "GET_MODE"));
  if (sent != MLINK_OK) return sent;

  const ReplyFields fields = CurrentReplyFields(meter);
  const std::optional<int32_t> wavelength = IntegerField(fields, 1);
  if (!wavelength || fields.count() < 5) return MLINK_NOT_RECOGNISED;
  // Each keyword is looked for from the index the previous one was found
  // at, so the groups are read in their table order; a keyword not found
  // is stored as -1 and the next search starts from the table's beginning.
  ModeSettings out{};
  out.wavelength = *wavelength;
  out.relativeMode = FindModeKeyword(*fields.Field(2), 0);
  out.hold = FindModeKeyword(*fields.Field(3), out.relativeMode);
  out.rangeMode = FindModeKeyword(*fields.Field(4), out.hold);
  out.unit = FindModeKeyword(*fields.Field(5), out.rangeMode);
  settings = out;
  return MLINK_OK;
}

int32_t SetMode(Meter& meter, const ModeSettings& settings) {
  // Checked in this order; the first failure refuses the whole set.
  if (!InRange(settings.rangeMode, kRangeManual, kRangeAuto)) return MLINK_BAD_ARGUMENT;
  if (!InRange(settings.relativeMode, kModeRel0, kModeAbs)) return MLINK_BAD_ARGUMENT;
  if (!InRange(settings.hold, kHoldOff, kHoldAve)) return MLINK_BAD_ARGUMENT;
  int32_t unitKeyword = -1;
  if (settings.unit == kUnitDb) unitKeyword = kUnitKeywordDb;
  if (IsLinearUnit(settings.unit)) unitKeyword = kUnitKeywordW;
  if (unitKeyword < 0) return MLINK_BAD_ARGUMENT;
  const std::optional<SignedField> wavelength =
      FormatSigned(settings.wavelength, kWavelengthDigits);
  if (!wavelength) return MLINK_BAD_ARGUMENT;

  const int32_t sent = SendAssembled(
      meter, AssembleCommand(meter, "SET_MODE",
                             {wavelength->view(), *ModeKeywordText(settings.relativeMode),
                              *ModeKeywordText(settings.hold), *ModeKeywordText(settings.rangeMode),
                              *ModeKeywordText(unitKeyword)}));
  if (sent != MLINK_OK) return sent;
  if (std::strcmp(meter.reply_text(), "WAVE_ERR") == 0) return MLINK_MODE_OR_NO_DATA;
  return ExpectOk(meter, sent);
}

}  // namespace meterlink
