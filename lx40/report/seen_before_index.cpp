#include "seen_before_index.h"

#include <cerrno>
#include <cstring>

namespace lx40::records {

std::unique_ptr<SeenBeforeIndex> SeenBeforeIndex::Open(const std::string& path,
                                                       std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<SeenBeforeIndex> index(new SeenBeforeIndex(file));
  std::lock_guard lock(index->mutex_);
  index->CatchUp();
  return index;
}

SeenBeforeIndex::SeenBeforeIndex(std::FILE* file)
    : file_(file), source_(file, true), splitter_(source_) {
  // A line another run is still writing is read once it is whole.
  splitter_.HoldUnfinishedLine(true);
}

SeenBeforeIndex::~SeenBeforeIndex() { std::fclose(file_); }

void SeenBeforeIndex::CatchUp() {
  splitter_.Resume();
  RecordView record;
  LineVerdict verdict = LineVerdict::kBlank;
  while (NextRecordLine(splitter_, &record, &verdict, nullptr)) {
    tally_.Count(verdict, splitter_.LineNumber());
    if (verdict == LineVerdict::kRecord && record.result == Result::kSet) {
      set_.emplace(record.serial);
    }
  }
}

bool SeenBeforeIndex::SeenBefore(std::string_view serial) {
  std::lock_guard lock(mutex_);
  CatchUp();
  return set_.count(std::string(serial)) != 0;
}

SkipTally SeenBeforeIndex::Tally() {
  std::lock_guard lock(mutex_);
  return tally_;
}

}  // namespace lx40::records
