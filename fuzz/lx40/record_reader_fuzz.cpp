// Fuzz target: the input is a record file (from anywhere on a share). Its
// first byte sets the line cap (64 to 2104 bytes); the rest is read twice, through a buffer
// just over the cap and through a large one, into a report by bay with
// duplicates. Both reads must give the same verdict for every line and
// the same records, every line must be counted once, and the report must
// count every record once; nothing crashes or reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "record_reader.h"
#include "report_builder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Read {
  lx40::records::SkipTally tally;
  std::vector<std::string> records;  // serial and times of each record
  uint64_t units = 0;
};

Read ReadAll(std::string_view bytes, size_t buffer, size_t max_line) {
  Read read;
  lx40::records::ReportRequest request;
  request.by = lx40::records::GroupBy::kBay;
  request.duplicates = true;
  lx40::records::ReportBuilder builder(request);
  lx40::records::MemorySource source(bytes);
  lx40::records::ReadOptions options;
  options.buffer_size = buffer;
  options.max_line = max_line;
  options.keep_lines = true;
  lx40::records::ReadRecords(source, options, &read.tally,
                             [&](const lx40::records::RecordView& record, std::string_view line) {
                               Check(!line.empty() && line.size() <= max_line);
                               read.records.push_back(std::string(record.serial) + '\n' +
                                                      std::to_string(record.started_ms) + '\n' +
                                                      std::to_string(record.finished_ms));
                               builder.Add(record);
                             });
  const lx40::records::Report report = builder.Finish();
  read.units = report.total.units;
  uint64_t grouped = 0;
  for (const lx40::records::GroupFigures& group : report.groups) grouped += group.units;
  Check(grouped == report.total.units);
  for (const lx40::records::Duplicate& duplicate : report.duplicates)
    Check(duplicate.sets.size() >= 2);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t max_line = 64 + size_t{data[0]} * 8;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Read tight = ReadAll(bytes, max_line + 2, max_line);
  const Read wide = ReadAll(bytes, size_t{1} << 16, max_line);
  Check(tight.records == wide.records);
  Check(tight.tally.Lines() == wide.tally.Lines());
  for (size_t i = 0; i < lx40::records::kVerdictCount; ++i) {
    const auto verdict = static_cast<lx40::records::LineVerdict>(i);
    Check(tight.tally.Of(verdict) == wide.tally.Of(verdict));
  }
  Check(tight.tally.FirstSkipped() == wide.tally.FirstSkipped());
  // Every line once: the line feeds, and a last line without one.
  uint64_t lines = 0;
  for (const char c : bytes) lines += c == '\n';
  if (!bytes.empty() && bytes.back() != '\n') ++lines;
  Check(wide.tally.Lines() == lines);
  Check(wide.units == wide.records.size());
  Check(wide.tally.Records() == wide.records.size());
  return 0;
}
