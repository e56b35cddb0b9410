// A scratch folder per test, the lx40 program with simulated meters from a
// meter file, and readers for what it leaves: record lines, and the
// simulator's state file (what each meter stored).
#ifndef LX40_TESTS_LX40_LX40_FIXTURE_H
#define LX40_TESTS_LX40_LX40_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lx40_process.h"
#include "wine_program.h"

namespace lx40test {

using Json = nlohmann::json;

inline std::string HexOf(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const unsigned char byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

// A built-in table as its file in the shared part holds it (the same bytes
// every program carries).
inline std::string BuiltInTable(int type_code) {
  return ReadFile(std::string(LX40_SOURCE_DIR) + "/resources/tables/sensor_table_" +
                  std::to_string(type_code) + ".bin");
}

// Parses every line; a line that is not JSON fails the test.
inline std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (!line.empty()) {
      EXPECT_TRUE(Json::accept(line)) << "not JSON: " << line;
      if (Json::accept(line)) lines.push_back(Json::parse(line));
    }
    start = end + 1;
  }
  return lines;
}

inline const Json* BySerial(const std::vector<Json>& objects, const std::string& serial) {
  for (const Json& object : objects) {
    if (object.value("serial", "") == serial) return &object;
  }
  return nullptr;
}

class Lx40Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lx40-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!HasFailure()) std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // The environment for simulated meters described by `meter_file` (the
  // meter file format of the simulator), the state file and a settle of
  // `settle_ms`.
  std::map<std::string, std::string> Environment(const std::string& meter_file, int settle_ms = 0) {
    const std::string meters = Path("meters.ini");
    WriteFile(meters, meter_file);
    return {{"LX40_SIM_METERS", meters},
            {"LX40_SIM_STATE", Path("state.json")},
            {"LX40_SETTLE_MS", std::to_string(settle_ms)}};
  }

  // lx40 natively, or lx40.exe under Wine (LX40_TEST_WINE_PROGRAM), with
  // the paths in its arguments and environment made Windows paths.
  Lx40Command Command(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env) const {
    return MakeLx40Command(LX40_PROGRAM, args, env, dir_);
  }
  std::unique_ptr<Lx40Process> Start(const std::vector<std::string>& args,
                                     const std::map<std::string, std::string>& env,
                                     const std::string& name = "run", int stdout_fd = -1) const {
    const Lx40Command command = Command(args, env);
    return std::make_unique<Lx40Process>(command.program, command.args, command.environment,
                                         Path(name), stdout_fd);
  }
  int Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
          const std::string& name = "run") {
    return Start(args, env, name)->Wait();
  }
  std::string Out(const std::string& name = "run") const { return TextOutput(Path(name) + ".out"); }
  std::string Err(const std::string& name = "run") const { return TextOutput(Path(name) + ".err"); }

  Json State() const {
    const std::string text = ReadFile(Path("state.json"));
    EXPECT_TRUE(Json::accept(text)) << "state file: " << text;
    return Json::accept(text) ? Json::parse(text) : Json::object();
  }
  static const Json& MeterState(const Json& state, const std::string& serial) {
    for (const Json& meter : state.at("meters")) {
      if (meter.at("serial") == serial) return meter;
    }
    throw std::runtime_error("no meter " + serial + " in the state file");
  }
  // The hex bytes the meter stored in `slot`, "" when it stored nothing.
  static std::string StoredHex(const Json& meter, int slot) {
    for (const Json& table : meter.at("stored")) {
      if (table.at("slot") == slot) return table.at("bytes").get<std::string>();
    }
    return "";
  }

  std::string dir_;
};

}  // namespace lx40test

#endif
