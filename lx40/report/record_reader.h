// Record files read back as a stream: every line through the splitter and
// the parser, each record handed to the caller, each other line counted by
// its reason, with the numbers of the first few. Memory does not grow with
// the file.
#ifndef LX40_LX40_REPORT_RECORD_READER_H
#define LX40_LX40_REPORT_RECORD_READER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "line_splitter.h"
#include "record_parser.h"
#include "record_view.h"

namespace lx40::records {

// The lines of one file that were not records.
class SkipTally {
 public:
  // How many skipped lines are named by number.
  static constexpr size_t kNamedLines = 5;

  void Count(LineVerdict verdict, uint64_t line_number);

  uint64_t Lines() const { return lines_; }  // every line, blank ones too
  uint64_t Records() const { return Of(LineVerdict::kRecord); }
  uint64_t Skipped() const { return skipped_; }
  uint64_t Of(LineVerdict verdict) const { return counts_[static_cast<size_t>(verdict)]; }
  const std::vector<uint64_t>& FirstSkipped() const { return first_skipped_; }

  // "3 lines skipped (2 torn, 1 not JSON), lines 4, 7, 9": empty when none.
  std::string Summary() const;

 private:
  uint64_t lines_ = 0;
  uint64_t skipped_ = 0;
  std::array<uint64_t, kVerdictCount> counts_{};
  std::vector<uint64_t> first_skipped_;
};

using RecordCallback = std::function<void(const RecordView& record, std::string_view line)>;

struct ReadOptions {
  // The callback's `line` is the line as stored (otherwise it is empty:
  // parsing in place changes the line's bytes).
  bool keep_lines = false;
  size_t buffer_size = LineSplitter::kDefaultBufferSize;
  size_t max_line = LineSplitter::kDefaultMaxLine;
};

// Reads `source` to its end.
void ReadRecords(ByteSource& source, const ReadOptions& options, SkipTally* tally,
                 const RecordCallback& on_record);

// Reads the file at `path`; false with `error` set when it cannot be
// opened or read (the records before a read error were handed on).
bool ReadRecordFile(const std::string& path, const ReadOptions& options, SkipTally* tally,
                    const RecordCallback& on_record, std::string* error);

// The next line of `splitter` parsed: kRecord with `record` filled, kEnd
// returned as nothing (false) at the end for now.
bool NextRecordLine(LineSplitter& splitter, RecordView* record, LineVerdict* verdict,
                    std::string* kept_line);

}  // namespace lx40::records

#endif
