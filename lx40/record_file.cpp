#include "record_file.h"

#include <cstdio>
#include <string>

namespace lx40 {

std::unique_ptr<RecordFile> RecordFile::Open(const std::string& path, std::string* error) {
  std::unique_ptr<platform::AppendFile> file = platform::OpenAppendFile(path, error);
  if (!file) return nullptr;
  return std::unique_ptr<RecordFile>(new RecordFile(path, std::move(file)));
}

bool RecordFile::Append(std::string_view line, std::string* error) {
  std::lock_guard lock(mutex_);
  std::string bytes;
  if (!file_->EndsInLineFeed()) bytes.push_back('\n');
  bytes += line;
  if (bytes.size() > kMaxLineBytes) {
    *error = "the record line is " + std::to_string(bytes.size()) + " bytes long, more than " +
             std::to_string(kMaxLineBytes);
    return false;
  }
  return file_->Append(bytes, error);
}

bool RecordFile::OpenForCommand(const std::string& path, std::unique_ptr<RecordFile>* file) {
  file->reset();
  if (path.empty()) return true;
  std::string error;
  *file = Open(path, &error);
  if (*file) return true;
  std::fprintf(stderr, "lx40: the record file %s cannot be opened: %s\n", path.c_str(),
               error.c_str());
  return false;
}

}  // namespace lx40
