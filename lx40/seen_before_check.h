// The seen-before warning of a command's --record FILE, for setup and the
// station alike: the serial numbers the record file already holds a "set"
// line for (kept up to date with what other runs append), asked at each
// meter's arrival. A serial seen before is warned about and its record
// ends in "seen_before": true.
#ifndef LX40_LX40_SEEN_BEFORE_CHECK_H
#define LX40_LX40_SEEN_BEFORE_CHECK_H

#include <functional>
#include <memory>
#include <string>

#include "seen_before_index.h"

namespace lx40 {

// Opens the index over the record file at `record_path`. Only a regular
// file is read back: reading a FIFO or a pipe would take the lines from
// their reader (or wait for a writer), and a terminal or /dev/full holds no
// records; for those, and for an empty path, *index stays null. False
// (said on stderr) when a regular file cannot be read.
bool OpenSeenBeforeIndex(const std::string& record_path,
                         std::unique_ptr<records::SeenBeforeIndex>* index);

// The question SetupPlan::seen_before asks, over `index` (which must
// outlive it): a serial the record file holds a "set" line for is told to
// `warn` as one line ("SERIAL: set before: ..."). Empty when `index` is
// null. Safe to call from several threads when `warn` is.
std::function<bool(const std::string& serial)> SeenBeforeWarning(
    records::SeenBeforeIndex* index, const std::string& record_path,
    std::function<void(const std::string& line)> warn);

}  // namespace lx40

#endif
