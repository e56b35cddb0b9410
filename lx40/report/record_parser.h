// One record line, parsed in place by RapidJSON's SAX reader into a
// RecordView. A line is a record only when it is one whole JSON object with
// every key of a record, each of its type, and no key this reader does not
// know (a newer version's line is not guessed at).
#ifndef LX40_LX40_REPORT_RECORD_PARSER_H
#define LX40_LX40_REPORT_RECORD_PARSER_H

#include <cstddef>
#include <string_view>

#include "record_view.h"

namespace lx40::records {

enum class LineVerdict {
  kRecord,
  kBlank,        // nothing but spaces: skipped, not counted
  kTorn,         // JSON that stops before its end
  kNotJson,      // anything else that is not JSON
  kNotRecord,    // JSON, but a key is missing, of the wrong type or has a bad value
  kUnknownKeys,  // a key this reader does not know: a newer version's record
  kTooLong,      // over the line cap (the splitter's verdict)
};

inline constexpr size_t kVerdictCount = 7;

// A short name of the reason a line was skipped ("torn", "not JSON", ...).
std::string_view VerdictText(LineVerdict verdict);

// Parses `line` (`size` bytes followed by a NUL byte, which the splitter
// gives) in place: the texts of `record` then point into it.
LineVerdict ParseRecordLine(char* line, size_t size, RecordView* record);

}  // namespace lx40::records

#endif
