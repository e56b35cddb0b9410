#include "table_source.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

#include "built_in_tables.h"
#include "sha256.h"

namespace lx40 {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string SystemError() { return std::strerror(errno); }

constexpr char kBuiltInOrigin[] = "built-in";

}  // namespace

std::vector<SensorTable> BuiltInSensorTables() {
  std::vector<SensorTable> tables;
  for (const std::span<const uint8_t> bytes : BuiltInTables()) {
    SensorTable table;
    table.origin = kBuiltInOrigin;
    table.bytes.assign(bytes.begin(), bytes.end());
    CheckTable(&table);
    tables.push_back(std::move(table));
  }
  return tables;
}

bool FindBuiltInTable(uint16_t type_code, SensorTable* table) {
  for (SensorTable& candidate : BuiltInSensorTables()) {
    if (candidate.info.type_code == type_code) {
      *table = std::move(candidate);
      return true;
    }
  }
  return false;
}

bool ReadTableFile(const std::string& path, SensorTable* table, std::string* error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *error = "cannot be read (" + SystemError() + ")";
    return false;
  }
  // One byte more than the largest table tells a too large file apart.
  std::vector<uint8_t> bytes(MLINK_TABLE_MAX_SIZE + 1);
  const size_t size = std::fread(bytes.data(), 1, bytes.size(), file.get());
  if (std::ferror(file.get())) {
    *error = "cannot be read (" + SystemError() + ")";
    return false;
  }
  if (size > MLINK_TABLE_MAX_SIZE) {
    *error = "is larger than a sensor data table can be (" + std::to_string(MLINK_TABLE_MAX_SIZE) +
             " bytes)";
    return false;
  }
  bytes.resize(size);
  table->origin = path;
  table->bytes = std::move(bytes);
  table->info = {};
  return true;
}

int32_t CheckTable(SensorTable* table) {
  table->info = {};
  table->sha256 = Sha256Hex(table->bytes.data(), table->bytes.size());
  return mlink_table_check(table->bytes.data(), table->bytes.size(), &table->info);
}

std::string SourceName(const SensorTable& table) {
  if (table.origin == kBuiltInOrigin) return table.origin;
  const size_t slash = table.origin.find_last_of("/\\");
  const std::string name =
      slash == std::string::npos ? table.origin : table.origin.substr(slash + 1);
  // Printable ASCII that JSON writes as it is, whatever the file system
  // allows in a name.
  std::string shown = name.substr(0, kMaxSourceName);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') c = '?';
  }
  return shown;
}

bool WriteTableFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string* error) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot be written (" + SystemError() + ")";
    return false;
  }
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  if (written != bytes.size() || std::fflush(file.get()) != 0) {
    *error = "cannot be written (" + SystemError() + ")";
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    *error = "cannot be written (" + SystemError() + ")";
    return false;
  }
  return true;
}

std::string CrcText(uint16_t crc) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(crc));
  return text;
}

}  // namespace lx40
