#include "record_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lx40::records {

void SkipTally::Count(LineVerdict verdict, uint64_t line_number) {
  ++lines_;
  ++counts_[static_cast<size_t>(verdict)];
  if (verdict == LineVerdict::kRecord || verdict == LineVerdict::kBlank) return;
  ++skipped_;
  if (first_skipped_.size() < kNamedLines) first_skipped_.push_back(line_number);
}

std::string SkipTally::Summary() const {
  if (skipped_ == 0) return {};
  std::string text = std::to_string(skipped_) + (skipped_ == 1 ? " line" : " lines") + " skipped (";
  bool first = true;
  for (size_t i = 0; i < kVerdictCount; ++i) {
    const auto verdict = static_cast<LineVerdict>(i);
    if (verdict == LineVerdict::kRecord || verdict == LineVerdict::kBlank || counts_[i] == 0)
      continue;
    text +=
        (first ? "" : ", ") + std::to_string(counts_[i]) + " " + std::string(VerdictText(verdict));
    first = false;
  }
  text += first_skipped_.size() == 1 ? "), line " : "), lines ";
  for (size_t i = 0; i < first_skipped_.size(); ++i) {
    text += (i == 0 ? "" : ", ") + std::to_string(first_skipped_[i]);
  }
  if (skipped_ > first_skipped_.size()) text += ", ...";
  return text;
}

bool NextRecordLine(LineSplitter& splitter, RecordView* record, LineVerdict* verdict,
                    std::string* kept_line) {
  std::string_view line;
  switch (splitter.Next(&line)) {
    case LineSplitter::Kind::kEnd:
      return false;
    case LineSplitter::Kind::kTooLong:
      *verdict = LineVerdict::kTooLong;
      return true;
    case LineSplitter::Kind::kLine:
      break;
  }
  if (kept_line != nullptr) kept_line->assign(line);
  *verdict = ParseRecordLine(const_cast<char*>(line.data()), line.size(), record);
  return true;
}

void ReadRecords(ByteSource& source, const ReadOptions& options, SkipTally* tally,
                 const RecordCallback& on_record) {
  LineSplitter splitter(source, options.buffer_size, options.max_line);
  RecordView record;
  LineVerdict verdict = LineVerdict::kBlank;
  std::string kept;
  std::string* const keep = options.keep_lines ? &kept : nullptr;
  while (NextRecordLine(splitter, &record, &verdict, keep)) {
    tally->Count(verdict, splitter.LineNumber());
    if (verdict == LineVerdict::kRecord) on_record(record, kept);
  }
}

bool ReadRecordFile(const std::string& path, const ReadOptions& options, SkipTally* tally,
                    const RecordCallback& on_record, std::string* error) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    *error = std::strerror(errno);
    return false;
  }
  FileSource source(file.get());
  ReadRecords(source, options, tally, on_record);
  if (source.Failed()) {
    *error = "read error";
    return false;
  }
  return true;
}

}  // namespace lx40::records
