#include "meter/meter_config_file.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <charconv>
#include <fstream>
#include <optional>
#include <set>
#include <utility>

#include "meter/sim_line.h"

namespace usbsim {

namespace {

constexpr size_t kMaxTextValue = 40;
constexpr long long kMaxLatencyUs = 10'000'000;
constexpr uint32_t kMaxSplitBlock = 64;
constexpr long long kMaxReadLimitMs = 60'000;
constexpr long long kMaxLineWaitMs = 600'000;

std::string_view Trim(std::string_view text) {
  const auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsPrintable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte <= 0x7E;
  });
}

// The text quoted in an error message: printable and short, whatever the
// file holds.
std::string Quote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text.substr(0, kMaxTextValue)) {
    const auto byte = static_cast<unsigned char>(c);
    quoted.push_back(byte >= 0x20 && byte <= 0x7E ? c : '?');
  }
  if (text.size() > kMaxTextValue) quoted += "...";
  return quoted + "'";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A serial number as written in the file: printable ASCII, and "\xNN" for
// any other byte, so a test can make a meter whose serial holds bytes
// above 0x7F or control bytes. Bytes that would break the "IDN" reply (NUL,
// CR, LF, the field separator ',') and a bare backslash are refused.
std::optional<std::string> ParseSerial(std::string_view text) {
  std::string serial;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte > 0x7E) return std::nullopt;
    if (text[i] != '\\') {
      serial.push_back(text[i]);
      continue;
    }
    if (text.size() - i < 4 || text[i + 1] != 'x') return std::nullopt;
    const int high = HexDigit(text[i + 2]);
    const int low = HexDigit(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    const char decoded = static_cast<char>(high * 16 + low);
    if (decoded == '\0' || decoded == '\r' || decoded == '\n' || decoded == ',') {
      return std::nullopt;
    }
    serial.push_back(decoded);
    i += 3;
  }
  return serial;
}

std::optional<long long> ParseInteger(std::string_view text, long long low, long long high) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<bool> ParseYesNo(std::string_view text) {
  if (text == "yes") return true;
  if (text == "no") return false;
  return std::nullopt;
}

bool IsCommandWord(std::string_view text) {
  return !text.empty() && text.size() <= kMaxTextValue && IsPrintable(text) &&
         text.find(':') == std::string_view::npos;
}

// One [meter] section being read.
class SectionParser {
 public:
  // Returns "" or what is wrong with the line (without the line number).
  std::string Take(std::string_view key, std::optional<std::string_view> value);
  // Checks that belong to the section as a whole.
  std::string Finish() const;
  MeterPlacement& placement() { return placement_; }

 private:
  std::string TakeText(std::string_view key, std::string_view value, std::string& field,
                       bool may_be_empty);
  std::string TakeNumber(std::string_view key, std::string_view value, long long low,
                         long long high, long long& out);

  MeterPlacement placement_;
  std::set<std::string, std::less<>> seen_;
  bool has_serial_ = false;
};

std::string SectionParser::TakeText(std::string_view key, std::string_view value,
                                    std::string& field, bool may_be_empty) {
  if ((value.empty() && !may_be_empty) || value.size() > kMaxTextValue || !IsPrintable(value)) {
    return std::string(key) + " must be " + (may_be_empty ? "0" : "1") + " to " +
           std::to_string(kMaxTextValue) + " printable characters";
  }
  field = std::string(value);
  return {};
}

std::string SectionParser::TakeNumber(std::string_view key, std::string_view value, long long low,
                                      long long high, long long& out) {
  const std::optional<long long> number = ParseInteger(value, low, high);
  if (!number) {
    return std::string(key) + " must be a whole number from " + std::to_string(low) + " to " +
           std::to_string(high);
  }
  out = *number;
  return {};
}

std::string SectionParser::Take(std::string_view key, std::optional<std::string_view> value) {
  MeterConfig& config = placement_.config;
  MeterFaults& faults = config.faults;

  const bool repeatable =
      key == "error_reply" || key == "no_cr" || key == "long_reply" || key == "split_reply";
  if (!repeatable && seen_.count(key) != 0) return "duplicate key " + Quote(key);
  seen_.insert(std::string(key));

  // Flags may stand alone.
  if (key == "nak_header" || key == "nak_trailer") {
    bool on = true;
    if (value) {
      const std::optional<bool> yes = ParseYesNo(*value);
      if (!yes) return std::string(key) + " must be yes or no";
      on = *yes;
    }
    (key == "nak_header" ? faults.nak_header : faults.nak_trailer) = on;
    return {};
  }
  if (!value) return "expected key = value, got " + Quote(key);
  const std::string_view v = *value;
  long long number = 0;

  if (key == "serial") {
    has_serial_ = true;
    const std::optional<std::string> serial = ParseSerial(v);
    if (!serial || serial->empty() || serial->size() > kMaxTextValue) {
      return "serial must be 1 to " + std::to_string(kMaxTextValue) +
             " printable characters or \\xNN escapes (not 00, 0D, 0A or 2C)";
    }
    config.serial = *serial;
    return {};
  }
  if (key == "model") return TakeText(key, v, config.model, true);
  if (key == "maker") return TakeText(key, v, config.maker, true);
  if (key == "version") return TakeText(key, v, config.version, true);
  if (key == "slots") {
    if (v.size() != kMeterSlotCount ||
        !std::all_of(v.begin(), v.end(), [](char c) { return c == '0' || c == '1'; })) {
      return "slots must be seven digits 0 or 1";
    }
    for (size_t i = 0; i < v.size(); ++i) config.slots_filled[i] = v[i] == '1';
    return {};
  }
  if (key == "battery") {
    if (v != "ok" && v != "low") return "battery must be ok or low";
    config.battery_low = v == "low";
    return {};
  }
  if (key == "latency_us") {
    std::string error = TakeNumber(key, v, 0, kMaxLatencyUs, number);
    config.latency = std::chrono::microseconds(number);
    return error;
  }
  if (key == "behind_hub") {
    const std::optional<bool> yes = ParseYesNo(v);
    if (!yes) return "behind_hub must be yes or no";
    placement_.behind_hub = *yes;
    return {};
  }
  if (key == "wrong_echo_at") {
    std::string error = TakeNumber(key, v, 0, 15, number);
    faults.wrong_echo_at = static_cast<int>(number);
    return error;
  }
  if (key == "replug_after_ms") {
    std::string error = TakeNumber(key, v, 1, kMaxReadLimitMs, number);
    faults.replug_after = std::chrono::milliseconds(number);
    return error;
  }
  if (key == "port") {
    std::string error = TakeNumber(key, v, 1, kMaxMeterPort, number);
    placement_.port = static_cast<int>(number);
    return error;
  }
  if (key == "plug_after_ms" || key == "pull_after_ms") {
    std::string error = TakeNumber(key, v, key == "plug_after_ms" ? 0 : 1, kMaxLineWaitMs, number);
    (key == "plug_after_ms" ? placement_.plug_after : placement_.pull_after) =
        std::chrono::milliseconds(number);
    return error;
  }
  if (key == "read_limit_ms") {
    std::string error = TakeNumber(key, v, 1, kMaxReadLimitMs, number);
    config.read_limit = std::chrono::milliseconds(number);
    return error;
  }
  if (key == "silent_from" || key == "unplug_at" || key == "hang_from") {
    std::string error = TakeNumber(key, v, 1, 1'000'000'000, number);
    int& field = key == "silent_from" ? faults.silent_from
                 : key == "unplug_at" ? faults.unplug_at
                                      : faults.hang_from;
    field = static_cast<int>(number);
    return error;
  }
  if (key == "error_reply") {
    const size_t equals = v.find('=');
    const std::string_view word = equals == std::string_view::npos ? v : v.substr(0, equals);
    const std::string_view keyword =
        equals == std::string_view::npos ? std::string_view() : v.substr(equals + 1);
    if (!IsCommandWord(word) || keyword.empty() || keyword.size() > kMaxTextValue ||
        !IsPrintable(keyword)) {
      return "error_reply must be COMMAND=KEYWORD";
    }
    faults.error_replies[std::string(word)] = std::string(keyword);
    return {};
  }
  if (key == "no_cr" || key == "long_reply") {
    if (!IsCommandWord(v)) return std::string(key) + " must be a command word";
    (key == "no_cr" ? faults.no_cr : faults.long_reply).insert(std::string(v));
    return {};
  }
  if (key == "split_reply") {
    const size_t colon = v.rfind(':');
    if (colon == std::string_view::npos || !IsCommandWord(v.substr(0, colon))) {
      return "split_reply must be COMMAND:n";
    }
    std::string error = TakeNumber(key, v.substr(colon + 1), 1, kMaxSplitBlock, number);
    if (error.empty()) {
      faults.split_reply[std::string(v.substr(0, colon))] = static_cast<uint32_t>(number);
    }
    return error;
  }
  seen_.erase(std::string(key));
  return "unknown key " + Quote(key);
}

std::string SectionParser::Finish() const {
  return has_serial_ ? std::string() : std::string("[meter] without serial");
}

std::string AtLine(size_t line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

}  // namespace

std::string ParseMeterConfigText(std::string_view text, std::vector<MeterPlacement>* meters) {
  if (meters == nullptr) return "no output given";
  meters->clear();
  if (text.size() > kMaxMeterConfigFileSize) return "file larger than 1 MiB";
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  std::vector<MeterPlacement> parsed;
  std::optional<SectionParser> section;
  size_t section_line = 0;
  const auto finish_section = [&]() -> std::string {
    if (!section) return {};
    std::string error = section->Finish();
    if (!error.empty()) return AtLine(section_line, error);
    if (parsed.size() >= kMaxConfiguredMeters) {
      return AtLine(section_line, "more than " + std::to_string(kMaxConfiguredMeters) + " meters");
    }
    parsed.push_back(std::move(section->placement()));
    section.reset();
    return {};
  };

  size_t line_number = 0;
  while (!text.empty() || line_number == 0) {
    ++line_number;
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;

    if (line.front() == '[') {
      if (line != "[meter]") return AtLine(line_number, "unknown section " + Quote(line));
      std::string error = finish_section();
      if (!error.empty()) return error;
      section.emplace();
      section_line = line_number;
      continue;
    }
    if (!section) return AtLine(line_number, "setting outside a [meter] section");

    const size_t equals = line.find('=');
    const std::string_view key = Trim(line.substr(0, equals));
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) value = Trim(line.substr(equals + 1));
    if (key.empty()) return AtLine(line_number, "missing key");
    std::string error = section->Take(key, value);
    if (!error.empty()) return AtLine(line_number, error);
  }
  std::string error = finish_section();
  if (!error.empty()) return error;
  *meters = std::move(parsed);
  return {};
}

std::vector<AttachedMeter> BuildConfiguredTopology(const std::vector<MeterPlacement>& meters) {
  // The port of each meter, per hub side (0: root hub, 1: external hub).
  std::array<std::set<int>, 2> named;
  for (const MeterPlacement& m : meters) {
    if (m.port > 0) named[m.behind_hub ? 1 : 0].insert(m.port);
  }
  std::array<std::set<int>, 2> used = named;
  const auto lowest_free = [](const std::set<int>& taken) {
    int port = 1;
    while (taken.count(port) != 0) ++port;
    return port;
  };
  std::vector<int> ports;
  for (const MeterPlacement& m : meters) {
    std::set<int>& side = used[m.behind_hub ? 1 : 0];
    const int port = m.port > 0 ? m.port : lowest_free(side);
    side.insert(port);
    ports.push_back(port);
  }
  const bool any_behind = !used[1].empty();
  const int hub_port = any_behind ? lowest_free(used[0]) : 0;
  const auto highest = [](const std::set<int>& taken) {
    return taken.empty() ? 0 : *taken.rbegin();
  };

  StopLine();
  Bus& bus = Bus::Instance();
  bus.Reset();
  const NodeId root = bus.AddController(0, std::max({4, highest(used[0]), hub_port}));
  const NodeId hub = any_behind ? bus.AddHub(root, hub_port, std::max(4, highest(used[1]))) : 0;

  // The meters of each place, in the order written.
  std::map<std::pair<NodeId, int>, std::vector<size_t>> places;
  for (size_t i = 0; i < meters.size(); ++i) {
    places[{meters[i].behind_hub ? hub : root, ports[i]}].push_back(i);
  }

  std::vector<AttachedMeter> attached(meters.size());
  std::vector<LinePort> line;
  std::vector<std::vector<size_t>> line_members;
  for (size_t i = 0; i < meters.size(); ++i) {
    const NodeId at = meters[i].behind_hub ? hub : root;
    const std::vector<size_t>& members = places[{at, ports[i]}];
    if (members.size() == 1 && meters[i].pull_after.count() == 0) {
      attached[i] = AttachMeter(at, ports[i], meters[i].config);
      continue;
    }
    if (members.front() != i) continue;  // the queue is built with its first meter
    LinePort port;
    port.hub = at;
    port.port = ports[i];
    for (const size_t member : members) {
      auto meter = std::make_shared<VirtualMeter>(meters[member].config);
      port.queue.push_back(LineMeter{meter, meters[member].plug_after, meters[member].pull_after});
      attached[member] = AttachedMeter{0, std::move(meter), at, ports[i]};
    }
    line.push_back(std::move(port));
    line_members.push_back(members);
  }
  if (!line.empty()) {
    const std::vector<AttachedMeter> first = StartLine(std::move(line));
    for (size_t p = 0; p < first.size(); ++p) attached[line_members[p].front()] = first[p];
  }
  return attached;
}

std::string LoadMeterConfigFile(const std::string& path, std::vector<AttachedMeter>* attached) {
  if (attached == nullptr) return "no output given";
  std::ifstream file(path, std::ios::binary);
  if (!file) return "cannot open " + path;
  std::string text(kMaxMeterConfigFileSize + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  if (file.bad()) return "cannot read " + path;

  std::vector<MeterPlacement> meters;
  std::string error = ParseMeterConfigText(text, &meters);
  if (!error.empty()) return path + ": " + error;
  *attached = BuildConfiguredTopology(meters);
  return {};
}

}  // namespace usbsim
