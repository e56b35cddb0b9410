// Fuzz target: the input is lx40's command line, its arguments separated by
// NUL bytes (at most 32 of them). Parsing either ends the program with 0 or
// 2 (help, version, bad usage) or gives a command whose options are within
// their documented ranges; it never crashes. What the parser prints is
// swallowed, so the fuzzer's own output stays readable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"
#include "command_measure.h"
#include "command_setup.h"
#include "command_table.h"
#include "subcommands.h"

namespace {

constexpr size_t kMaxArguments = 32;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"lx40"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < kMaxArguments; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word.push_back(static_cast<char>(data[i]));
    }
  }
  if (words.size() < kMaxArguments && !word.empty()) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::ostringstream swallowed;
  std::streambuf* const out = std::cout.rdbuf(swallowed.rdbuf());
  std::streambuf* const err = std::cerr.rdbuf(swallowed.rdbuf());
  // One parser for every input, as a program would build it once: the
  // parser must also hold up when it is used again after any command line.
  static lx40::CommandLine parser(lx40::Subcommands());
  const std::optional<int> done = parser.Parse(static_cast<int>(words.size()), argv.data());
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);

  if (done) {
    Check(*done == 0 || *done == 2);
    return 0;
  }
  // A command to run is one of the table's, with its own options.
  bool known = false;
  for (const lx40::Subcommand& row : lx40::Subcommands()) {
    known = known || (row.define != nullptr && row.name == parser.Parsed());
  }
  Check(known);
  if (const auto* measure = parser.ParsedOptions<lx40::MeasureOptions>()) {
    Check(measure->count >= 1 && measure->count <= 1000000);
    Check(measure->interval_ms >= 0 && measure->interval_ms <= 3600000);
    Check(!(measure->json && measure->csv));
  }
  if (const auto* setup = parser.ParsedOptions<lx40::SetupOptions>()) {
    Check(setup->jobs <= 1024);
  }
  if (const auto* exported = parser.ParsedOptions<lx40::TableExportOptions>()) {
    Check(exported->type_code == 8010 || exported->type_code == 8011);
  }
  return 0;
}
