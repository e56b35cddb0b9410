// The LX40's number and keyword formats in one include: signed and
// three-decimal fields, reading texts and unit codes, mode keywords, reply
// fields and the decimal parsers. Pure computation, no I/O, no locale.
#ifndef LX40_METERLINK_FORMATS_FORMATS_H
#define LX40_METERLINK_FORMATS_FORMATS_H

#include "formats/decimal_parse.h"
#include "formats/fixed_text.h"
#include "formats/mode_keyword.h"
#include "formats/reading.h"
#include "formats/reply_fields.h"
#include "formats/signed_field.h"
#include "formats/unit_code.h"

#endif
