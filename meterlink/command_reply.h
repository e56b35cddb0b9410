// The steps the meter commands share: sending an assembled command with the
// battery check, the "expects OK" rule, and reading the reply's fields.
// Internal to the library.
#ifndef LX40_METERLINK_COMMAND_REPLY_H
#define LX40_METERLINK_COMMAND_REPLY_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "exchange.h"
#include "formats/reply_fields.h"

namespace meterlink {

enum class Battery { kCheck, kSkip };

// Sends `command` (from AssembleCommand) through SendMeterCommand into
// meter.reply_text(). A null command (it did not fit) gives -2, nothing sent.
int32_t SendAssembled(Meter& meter, const char* command, Battery battery = Battery::kCheck);

// The result of a command that expects "OK": a failure unchanged, else 1
// for the reply "OK" and -4 for any other.
int32_t ExpectOk(Meter& meter, int32_t sent);

// The fields of the reply in meter.reply_text().
ReplyFields CurrentReplyFields(Meter& meter);

// Field `number` (from 1) as a decimal integer or decimal real; empty when
// the reply has fewer fields or the field is not such a number.
std::optional<int32_t> IntegerField(const ReplyFields& fields, std::size_t number);
std::optional<float> RealField(const ReplyFields& fields, std::size_t number);

// Copies `text` into `out`, a buffer of `size` bytes (at least 1): cut to
// size - 1 characters and always NUL-terminated.
void CopyCut(std::string_view text, char* out, std::size_t size);

}  // namespace meterlink

#endif
