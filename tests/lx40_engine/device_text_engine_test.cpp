// Whatever bytes a meter sends in its identification, lx40's record line is
// plain ASCII JSON that parses, and what it prints on the terminal is
// escaped and bounded.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "device_text.h"
#include "engine_rig.h"
#include "progress_display.h"

namespace {

// A serial number with a terminal escape, a bell, a DEL, bytes of no code
// page and a lone UTF-8 lead byte; the maker and version hostile too.
const std::string kHostileSerial = "H\x1b[2J\x07\x7f\xff\xc3Z";

bool PrintableAsciiLines(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c != '\n' && (byte < 0x20 || byte > 0x7E)) return false;
  }
  return true;
}

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char block[512];
  size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) text.append(block, n);
  return text;
}

TEST(DeviceTextInLx40, RecordLineOfAHostileMeterIsAsciiJsonThatParses) {
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  usbsim::MeterConfig config;
  config.serial = kHostileSerial;
  config.maker = "\x1b]0;title\x07";
  config.version = "\x9b\x31m";
  usbsim::AttachMeter(bus.AddController(0, 4), 1, config);

  const engine_rig::EngineRun run = engine_rig::RunEngine();
  bus.Reset();
  ASSERT_EQ(run.lines.size(), 1u);
  const std::string& line = run.lines[0];
  EXPECT_TRUE(PrintableAsciiLines(line)) << line;
  ASSERT_TRUE(nlohmann::json::accept(line)) << line;
  const nlohmann::json record = nlohmann::json::parse(line);
  // Every byte as sent, outside printable ASCII as \xNN: never a
  // replacement character, which would make two serials one.
  EXPECT_EQ(record.value("serial", ""), "H\\x1B[2J\\x07\\x7F\\xFF\\xC3Z") << line;
  EXPECT_EQ(record.value("version", "").rfind("\\x9B", 0), 0u) << line;

  // The terminal sees the serial and a message about it escaped.
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    lx40::ProgressDisplay display(out, lx40::ProgressDisplay::Style::kPlainLines,
                                  {run.records[0].serial});
    display.Update(0, "8010", 50, "writing", true);
    display.Message(out, run.records[0].serial + ": " + run.records[0].message);
    display.Finish();
  }
  const std::string shown = ReadAll(out);
  std::fclose(out);
  EXPECT_TRUE(PrintableAsciiLines(shown)) << shown;
  EXPECT_NE(shown.find("H\\x1B[2J\\x07\\x7F"), std::string::npos) << shown;
}

TEST(DeviceTextInLx40, RecordLineOfAnyBytesIsAsciiJson) {
  lx40::UnitRecord record;
  for (int byte = 0; byte < 256; ++byte) record.serial.push_back(static_cast<char>(byte));
  record.model = std::string(5000, '\xff');
  record.message = "\xe2\x80\xae reversed";  // a right-to-left override
  const std::string line = lx40::RecordLine(record);
  EXPECT_TRUE(PrintableAsciiLines(line));
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1);
  ASSERT_TRUE(nlohmann::json::accept(line));
  // Whole and exact: the record's text gives back every byte.
  const nlohmann::json json = nlohmann::json::parse(line);
  EXPECT_EQ(devtext::Unescape(json.at("serial").get<std::string>()), record.serial);
  EXPECT_EQ(devtext::Unescape(json.at("model").get<std::string>()), record.model);
}

// Serial numbers that differ in one byte outside printable ASCII give
// different record lines.
TEST(DeviceTextInLx40, SerialsThatDifferInOneByteGiveDifferentRecords) {
  std::set<std::string> lines;
  for (const char* serial : {"A\xff", "A\xfe", "A\xef\xbf\xbd", "A\\xFF", "A?"}) {
    lx40::UnitRecord record;
    record.serial = serial;
    lines.insert(lx40::RecordLine(record));
  }
  EXPECT_EQ(lines.size(), 5u);
}

}  // namespace
