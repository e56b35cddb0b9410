#include "meter_list.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "device_text.h"
#include "exit_status.h"
#include "meter_messages.h"

namespace lx40 {

namespace {

// Meters can be plugged in between counting and listing: a few tries with
// room to spare.
constexpr int kListTries = 4;
constexpr size_t kSpareEntries = 8;

}  // namespace

int32_t ListMeters(std::vector<mlink_meter_info>* meters) {
  meters->clear();
  size_t found = 0;
  int32_t rc = mlink_enumerate(nullptr, 0, &found);
  for (int attempt = 0; rc == MLINK_OK && attempt < kListTries; ++attempt) {
    std::vector<mlink_meter_info> infos(found + kSpareEntries);
    rc = mlink_enumerate(infos.data(), infos.size(), &found);
    if (rc == MLINK_OK && found <= infos.size()) {
      infos.resize(found);
      *meters = std::move(infos);
      return MLINK_OK;
    }
  }
  return rc == MLINK_OK ? MLINK_ERR_BUFFER_TOO_SMALL : rc;
}

std::vector<mlink_meter_info> SelectMeters(const std::vector<mlink_meter_info>& attached,
                                           const std::vector<std::string>& serials,
                                           std::vector<std::string>* missing) {
  missing->clear();
  if (serials.empty()) return attached;
  std::vector<mlink_meter_info> chosen;
  std::vector<std::string> seen;
  for (const std::string& typed : serials) {
    // A serial number as the user sees it, "\xNN" for a byte outside
    // printable ASCII, or as the bytes themselves.
    const std::optional<std::string> serial = devtext::Unescape(typed);
    const std::string named = serial ? devtext::Escaped(*serial) : typed;
    if (std::find(seen.begin(), seen.end(), named) != seen.end()) continue;
    seen.push_back(named);
    const auto it =
        std::find_if(attached.begin(), attached.end(), [&](const mlink_meter_info& info) {
          return serial && (info.flags & MLINK_INFO_SERIAL_CUT) == 0 && *serial == info.serial;
        });
    if (it == attached.end()) {
      missing->push_back(named);
    } else {
      chosen.push_back(*it);
    }
  }
  return chosen;
}

std::string ShownSerial(const std::string& typed) {
  return devtext::Escaped(devtext::Unescape(typed).value_or(typed));
}

int OpenNamedMeter(const std::string& typed, mlink_meter** meter) {
  const std::optional<std::string> serial = devtext::Unescape(typed);
  if (!serial) {
    std::fprintf(stderr, "%s: not a serial number: a backslash must start \\xNN\n",
                 devtext::ForDisplay(typed).c_str());
    return kExitBadInput;
  }
  const int32_t opened = serial->find('\0') == std::string::npos
                             ? mlink_open(serial->c_str(), meter)
                             : MLINK_ERR_NO_SUCH_METER;
  if (opened == MLINK_OK) return 0;
  std::fprintf(stderr, "%s: %s\n", ShownSerial(typed).c_str(), MeterMessage(opened).c_str());
  return opened == MLINK_ERR_NO_SUCH_METER ? kExitNoMeter : kExitUnitFailed;
}

}  // namespace lx40
