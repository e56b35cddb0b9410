// The LX40's number and keyword formats in one include: signed and
// three-decimal fields, reading texts and unit codes, mode keywords, reply
// fields and the decimal parsers. Pure computation, no I/O, no locale.
#ifndef LX40_METERLINK_FORMATS_FORMATS_H
#define LX40_METERLINK_FORMATS_FORMATS_H

#include "meterlink/formats/decimal_parse.h"
#include "meterlink/formats/fixed_text.h"
#include "meterlink/formats/mode_keyword.h"
#include "meterlink/formats/reading.h"
#include "meterlink/formats/reply_fields.h"
#include "meterlink/formats/signed_field.h"
#include "meterlink/formats/unit_code.h"

#endif
