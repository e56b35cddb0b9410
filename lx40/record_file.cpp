#include "record_file.h"

namespace lx40 {

std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, std::string* error) {
  std::unique_ptr<platform::AppendFile> file = platform::OpenAppendFile(path, error);
  if (!file) return nullptr;
  return std::unique_ptr<RecordFile>(new RecordFile(path, std::move(file)));
}

bool RecordFile::Append(std::string_view line, std::string* error) {
  std::lock_guard lock(mutex_);
  return file_->Append(line, error);
}

}  // namespace lx40
