// The serial numbers that a record file holds a "set" line for: read once
// at the start as a stream, then kept up to date with the lines that other
// runs append while this one goes on. Memory grows with the distinct
// serial numbers set (one entry each), never with the file.
#ifndef LX40_LX40_REPORT_SEEN_BEFORE_INDEX_H
#define LX40_LX40_REPORT_SEEN_BEFORE_INDEX_H

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

#include "line_splitter.h"
#include "record_reader.h"

namespace lx40::records {

class SeenBeforeIndex {
 public:
  // Reads the file at `path` to its end. Null with `error` set when it
  // cannot be opened.
  static std::unique_ptr<SeenBeforeIndex> Open(const std::string& path, std::string* error);
  ~SeenBeforeIndex();
  SeenBeforeIndex(const SeenBeforeIndex&) = delete;
  SeenBeforeIndex& operator=(const SeenBeforeIndex&) = delete;

  // True when the file holds a "set" line for `serial`, the lines appended
  // since the last look included. Safe to call from several threads.
  bool SeenBefore(std::string_view serial);

  // The lines read so far that were not records.
  SkipTally Tally();

 private:
  explicit SeenBeforeIndex(std::FILE* file);
  void CatchUp();  // with the mutex held

  std::mutex mutex_;
  std::FILE* file_;
  FileSource source_;
  LineSplitter splitter_;
  SkipTally tally_;
  std::unordered_set<std::string> set_;
};

}  // namespace lx40::records

#endif
