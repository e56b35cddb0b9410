// The record files a history or report reads, each checked before any is
// read, and what each had that was not a record, told on stderr.
#ifndef LX40_LX40_REPORT_RECORD_FILES_H
#define LX40_LX40_REPORT_RECORD_FILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "record_reader.h"

namespace lx40::records {

// False (each message printed) when a file cannot be opened.
bool CheckRecordFiles(const std::vector<std::string>& paths);

// Reads every file in turn; false (message printed) when one cannot be
// read. The lines each file skipped are told on stderr, and added up in
// `skipped`.
bool ReadRecordFiles(const std::vector<std::string>& paths, const ReadOptions& options,
                     const RecordCallback& on_record, uint64_t* records, uint64_t* skipped);

}  // namespace lx40::records

#endif
