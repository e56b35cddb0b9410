// "GET_WAVELEN:<n>", "GET_WAVELEN" and "SET_WAVELEN": the meter's wavelength
// list and its current wavelength, each with the number the meter keeps
// with it.
#include "command_text.h"
#include "commands.h"
#include "formats/signed_field.h"

namespace meterlink {
namespace {

// The digits of the wavelength field of "SET_WAVELEN".
constexpr int kWavelengthDigits = 4;

// A reply "<wavelength>,<value>": field 1 a decimal integer, field 2 a
// decimal real. Written only when both are there.
int32_t ReadWaveEntry(Meter& meter, WaveEntry& entry) {
  const ReplyFields fields = CurrentReplyFields(meter);
  const std::optional<int32_t> wavelength = IntegerField(fields, 1);
  const std::optional<float> value = RealField(fields, 2);
  if (!wavelength || !value) return MLINK_NOT_RECOGNISED;
  entry.wavelength = *wavelength;
  entry.value = *value;
  return MLINK_OK;
}

}  // namespace

int32_t QueryWaveList(Meter& meter, WaveEntry* entries) {
  for (int i = 0; i < MLINK_WAVE_LIST_SIZE; ++i) {
    const char index[] = {static_cast<char>('0' + i), '\0'};
    // One battery check for the whole list, before the first entry.
    const Battery battery = i == 0 ? Battery::kCheck : Battery::kSkip;
    const int32_t sent =
        SendAssembled(meter, AssembleCommand(meter, "GET_WAVELEN", {index}), battery);
    if (sent != MLINK_OK) return sent;
    const int32_t read = ReadWaveEntry(meter, entries[i]);
    if (read != MLINK_OK) return read;
  }
  return MLINK_OK;
}

int32_t QueryWave(Meter& meter, WaveEntry& entry) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, "GET_WAVELEN"));
  if (sent != MLINK_OK) return sent;
  return ReadWaveEntry(meter, entry);
}

int32_t SetWave(Meter& meter, const WaveEntry& entry) {
  // Four digits hold at most 9999 nm: a longer wavelength would go out
  // without its first digit, so nothing is sent.
  const std::optional<SignedField> wavelength = FormatSigned(entry.wavelength, kWavelengthDigits);
  const std::optional<ThreeDecimalField> value = FormatThreeDecimal(entry.value);
  if (!wavelength || !value) return MLINK_BAD_ARGUMENT;
  // "WAVE_ERR" is not an error reply of this command's exchange: like any
  // reply but "OK" it gives -4.
  return ExpectOk(meter,
                  SendAssembled(meter, AssembleCommand(meter, "SET_WAVELEN",
                                                       {wavelength->view(), value->view()})));
}

}  // namespace meterlink
