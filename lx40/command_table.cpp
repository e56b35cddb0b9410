#include "command_table.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "exit_status.h"
#include "table_source.h"

namespace lx40 {

void AddTableCheckOptions(CLI::App& app, TableCheckOptions& options) {
  app.add_option("FILE", options.file, "The table file")->required();
}

int RunTableCheckCommand(const TableCheckOptions& options) {
  SensorTable table;
  std::string error;
  if (!ReadTableFile(options.file, &table, &error)) {
    std::fprintf(stderr, "lx40: %s: %s\n", options.file.c_str(), error.c_str());
    return kExitBadInput;
  }
  const int32_t rc = CheckTable(&table);
  const mlink_table_info& info = table.info;
  std::printf("file:        %s\n", options.file.c_str());
  std::printf("type code:   %u\n", static_cast<unsigned>(info.type_code));
  std::printf("slot:        %u\n", static_cast<unsigned>(info.slot));
  std::printf("records:     %u\n", static_cast<unsigned>(info.records));
  std::printf("wavelengths: %u to %u nm\n", static_cast<unsigned>(info.min_wavelength),
              static_cast<unsigned>(info.max_wavelength));
  std::printf("size:        %zu bytes (size field %u)\n", table.bytes.size(),
              static_cast<unsigned>(info.total_size));
  std::printf("crc:         %s\n", CrcText(info.crc).c_str());
  if (rc != MLINK_OK) {
    std::printf("result:      FAULT: %s\n", mlink_strerror(rc));
    return kExitUnitFailed;
  }
  std::printf("result:      OK\n");
  return kExitOk;
}

void AddTableExportOptions(CLI::App& app, TableExportOptions& options) {
  app.add_option("TYPE", options.type_code, "Sensor type code of the table")
      ->required()
      ->check(CLI::IsMember({8010, 8011}));
  app.add_option("FILE", options.file, "The file to write")->required();
}

int RunTableExportCommand(const TableExportOptions& options) {
  SensorTable table;
  if (!FindBuiltInTable(static_cast<uint16_t>(options.type_code), &table)) {
    std::fprintf(stderr, "lx40: no built-in table has the type code %d\n", options.type_code);
    return kExitBadInput;
  }
  std::string error;
  if (!WriteTableFile(options.file, table.bytes, &error)) {
    std::fprintf(stderr, "lx40: %s: %s\n", options.file.c_str(), error.c_str());
    return kExitBadInput;
  }
  std::printf("lx40: table %d (slot %u, %u records, %zu bytes, CRC %s) written to %s\n",
              options.type_code, static_cast<unsigned>(table.info.slot),
              static_cast<unsigned>(table.info.records), table.bytes.size(),
              CrcText(table.info.crc).c_str(), options.file.c_str());
  return kExitOk;
}

}  // namespace lx40
