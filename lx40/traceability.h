// Who ran a unit, for which work order and lot, with any further KEY=VALUE
// pairs: the options that say so (--operator, --work-order, --lot,
// --meta KEY=VALUE...), their checks, and what the record carries of them.
// Every command that writes records takes the same options.
#ifndef LX40_LX40_TRACEABILITY_H
#define LX40_LX40_TRACEABILITY_H

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace lx40 {

// Each value: 1 to this many printable ASCII characters (a --meta option:
// its whole KEY=VALUE text).
inline constexpr size_t kMaxTraceText = 64;
// --meta given at most this many times. With every field at its longest a
// record line stays under 4096 bytes, so that it is appended to a pipe in
// one piece.
inline constexpr size_t kMaxMetaPairs = 6;

// The options as given on the command line, not checked yet.
struct TraceabilityOptions {
  std::optional<std::string> operator_name;
  std::optional<std::string> work_order;
  std::optional<std::string> lot;
  std::vector<std::string> meta;  // KEY=VALUE each
};

// The checked values, as every record of the run carries them.
struct Traceability {
  std::optional<std::string> operator_name;  // null in the record when not given
  std::optional<std::string> work_order;
  std::optional<std::string> lot;
  std::vector<std::pair<std::string, std::string>> meta;  // in the order given
};

// The program and its version, as the record's "tool" names it.
std::string ToolText();

void AddTraceabilityOptions(CLI::App& app, TraceabilityOptions& options);

// Checks the options before any meter is touched: each value printable
// ASCII, 1 to kMaxTraceText characters; a meta KEY of letters, digits, '_',
// '-' and '.', followed by '=' and a VALUE (may be empty), each KEY once, at
// most kMaxMetaPairs of them. Returns "" and fills `trace`, or what is wrong
// (naming the option).
std::string CheckTraceability(const TraceabilityOptions& options, Traceability* trace);

}  // namespace lx40

#endif
