#include "seen_before_check.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "device_text.h"

namespace lx40 {

bool OpenSeenBeforeIndex(const std::string& record_path,
                         std::unique_ptr<records::SeenBeforeIndex>* index) {
  index->reset();
  std::error_code not_regular;
  if (record_path.empty() || !std::filesystem::is_regular_file(record_path, not_regular)) {
    return true;
  }
  std::string error;
  *index = records::SeenBeforeIndex::Open(record_path, &error);
  if (*index) return true;
  std::fprintf(stderr, "lx40: the record file %s cannot be read: %s\n", record_path.c_str(),
               error.c_str());
  return false;
}

std::function<bool(const std::string& serial)> SeenBeforeWarning(
    records::SeenBeforeIndex* index, const std::string& record_path,
    std::function<void(const std::string& line)> warn) {
  if (index == nullptr) return {};
  return [index, record_path, warn = std::move(warn)](const std::string& serial) {
    if (!index->SeenBefore(serial)) return false;
    warn(devtext::ForDisplay(serial) + ": set before: the record file " + record_path +
         " already holds a \"set\" line for it");
    return true;
  };
}

}  // namespace lx40
