#include "record_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device_text.h"

namespace lx40::records {

bool CheckRecordFiles(const std::vector<std::string>& paths) {
  bool all = true;
  for (const std::string& path : paths) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      std::fprintf(stderr, "lx40: the record file %s cannot be opened: %s\n",
                   devtext::ForDisplay(path, 400).c_str(), std::strerror(errno));
      all = false;
      continue;
    }
    std::fclose(file);
  }
  return all;
}

bool ReadRecordFiles(const std::vector<std::string>& paths, const ReadOptions& options,
                     const RecordCallback& on_record, uint64_t* records, uint64_t* skipped) {
  for (const std::string& path : paths) {
    SkipTally tally;
    std::string error;
    const bool read = ReadRecordFile(path, options, &tally, on_record, &error);
    *records += tally.Records();
    *skipped += tally.Skipped();
    const std::string shown = devtext::ForDisplay(path, 400);
    if (tally.Skipped() > 0)
      std::fprintf(stderr, "lx40: %s: %s\n", shown.c_str(), tally.Summary().c_str());
    if (!read) {
      std::fprintf(stderr, "lx40: the record file %s cannot be read: %s\n", shown.c_str(),
                   error.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace lx40::records
