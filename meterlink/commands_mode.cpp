// SQ_Mode: the measurement mode (wavelength, relative mode, hold, range
// mode, unit), queried as mode keyword indices or set from them.
#include <cstring>

#include "meterlink/command_reply.h"
#include "meterlink/command_text.h"
#include "meterlink/exchange.h"
#include "meterlink/formats/mode_keyword.h"
#include "meterlink/formats/signed_field.h"
#include "meterlink/formats/unit_code.h"
#include "meterlink/meter_commands.h"

namespace {

constexpr int kWavelengthDigits = 5;

int32_t QueryMode(ModeSettings& settings) {
  using namespace meterlink;
  const int32_t sent = SendAssembled(AssembleCommand("GET_MODE"));
  if (sent != MLINK_OK) return sent;

  const ReplyFields fields = CurrentReplyFields();
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

bool InRange(int32_t value, int32_t low, int32_t high) { return value >= low && value <= high; }

int32_t SetMode(const ModeSettings& settings) {
  using namespace meterlink;
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

  const int32_t sent = SendAssembled(AssembleCommand(
      "SET_MODE",
      {wavelength->view(), *ModeKeywordText(settings.relativeMode), *ModeKeywordText(settings.hold),
       *ModeKeywordText(settings.rangeMode), *ModeKeywordText(unitKeyword)}));
  if (sent != MLINK_OK) return sent;
  if (std::strcmp(ReplyText(), "WAVE_ERR") == 0) return MLINK_MODE_OR_NO_DATA;
  return ExpectOk(sent);
}

}  // namespace

extern "C" MLINK_API int32_t SQ_Mode(int32_t flag, ModeSettings* settings) {
  if (settings == nullptr) return MLINK_BAD_ARGUMENT;
  if (flag == 1) return QueryMode(*settings);
  if (flag == 0) return SetMode(*settings);
  return MLINK_BAD_ARGUMENT;
}
