// Fuzz target: the input is the text of a meter file. The parser either
// accepts it, with every meter within the documented bounds, or refuses it
// with one short, printable message and no meters; it never crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "meter/meter_config_file.h"

namespace {

constexpr size_t kMaxTextValue = 40;
constexpr size_t kMaxMessage = 200;

bool Printable(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E) return false;
  }
  return true;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<usbsim::MeterPlacement> meters(1);
  const std::string error = usbsim::ParseMeterConfigText(text, &meters);
  if (!error.empty()) {
    Check(meters.empty());
    Check(error.size() <= kMaxMessage && Printable(error));
    return 0;
  }
  Check(meters.size() <= usbsim::kMaxConfiguredMeters);
  for (const usbsim::MeterPlacement& placement : meters) {
    const usbsim::MeterConfig& config = placement.config;
    Check(!config.serial.empty() && config.serial.size() <= kMaxTextValue);
    Check(Printable(config.serial) && Printable(config.model) && Printable(config.maker));
    Check(config.model.size() <= kMaxTextValue && config.maker.size() <= kMaxTextValue &&
          config.version.size() <= kMaxTextValue);
    Check(config.latency.count() >= 0 && config.read_limit.count() >= 1);
    Check(config.faults.wrong_echo_at >= -1 && config.faults.wrong_echo_at <= 15);
    Check(config.faults.silent_from >= 0 && config.faults.hang_from >= 0 &&
          config.faults.unplug_at >= 0);
    for (const auto& [word, block] : config.faults.split_reply) {
      Check(!word.empty() && block >= 1 && block <= 64);
    }
  }
  return 0;
}
