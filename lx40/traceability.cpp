#include "traceability.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <set>

#ifndef LX40_VERSION_TEXT
#define LX40_VERSION_TEXT "unknown"
#endif

namespace lx40 {

namespace {

bool IsPrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte <= 0x7E;
  });
}

bool IsKeyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// "" or what is wrong with the value of `option`.
std::string CheckText(const char* option, const std::string& text) {
  if (text.empty() || text.size() > kMaxTraceText || !IsPrintableAscii(text)) {
    return std::string(option) + " must be 1 to " + std::to_string(kMaxTraceText) +
           " printable ASCII characters";
  }
  return {};
}

}  // namespace

void AddTraceabilityOptions(CLI::App& app, TraceabilityOptions& options) {
  const auto text_option = [&app](const char* name, std::optional<std::string>& field,
                                  const char* help) {
    app.add_option_function<std::string>(
        name, [&field](const std::string& value) { field = value; }, help);
  };
  text_option("--operator", options.operator_name, "Who runs the units (for the record)");
  text_option("--work-order", options.work_order, "The work order (for the record)");
  text_option("--lot", options.lot, "The lot (for the record)");
  app.add_option("--meta", options.meta, "KEY=VALUE for the record's meta object (repeatable)")
      ->take_all()
      ->allow_extra_args(false);
}

std::string ToolText() { return std::string("lx40 ") + LX40_VERSION_TEXT; }

std::string CheckTraceability(const TraceabilityOptions& options, Traceability* trace) {
  Traceability checked;
  const std::pair<const char*, const std::optional<std::string>*> texts[] = {
      {"--operator", &options.operator_name},
      {"--work-order", &options.work_order},
      {"--lot", &options.lot}};
  for (const auto& [option, value] : texts) {
    if (!*value) continue;
    std::string error = CheckText(option, **value);
    if (!error.empty()) return error;
  }
  checked.operator_name = options.operator_name;
  checked.work_order = options.work_order;
  checked.lot = options.lot;

  if (options.meta.size() > kMaxMetaPairs) {
    return "--meta may be given at most " + std::to_string(kMaxMetaPairs) + " times";
  }
  std::set<std::string> keys;
  for (const std::string& pair : options.meta) {
    std::string error = CheckText("--meta", pair);
    if (!error.empty()) return error;
    const size_t equals = pair.find('=');
    const std::string key = pair.substr(0, equals);
    if (equals == std::string::npos || key.empty() ||
        !std::all_of(key.begin(), key.end(), IsKeyChar)) {
      return "--meta must be KEY=VALUE, KEY of letters, digits, '_', '-' and '.'";
    }
    if (!keys.insert(key).second) return "--meta " + key + " given twice";
    checked.meta.emplace_back(key, pair.substr(equals + 1));
  }
  if (trace != nullptr) *trace = std::move(checked);
  return {};
}

}  // namespace lx40
