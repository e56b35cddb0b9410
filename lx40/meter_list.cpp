#include "meter_list.h"

#include <algorithm>
#include <cstdio>

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
  for (const std::string& serial : serials) {
    if (std::find(seen.begin(), seen.end(), serial) != seen.end()) continue;
    seen.push_back(serial);
    const auto it =
        std::find_if(attached.begin(), attached.end(), [&](const mlink_meter_info& info) {
          return (info.flags & MLINK_INFO_SERIAL_CUT) == 0 && serial == info.serial;
        });
    if (it == attached.end()) {
      missing->push_back(serial);
    } else {
      chosen.push_back(*it);
    }
  }
  return chosen;
}

int OpenNamedMeter(const std::string& serial, mlink_meter** meter) {
  const int32_t opened = mlink_open(serial.c_str(), meter);
  if (opened == MLINK_OK) return 0;
  std::fprintf(stderr, "%s: %s\n", serial.c_str(), MeterMessage(opened).c_str());
  return opened == MLINK_ERR_NO_SUCH_METER ? kExitNoMeter : kExitUnitFailed;
}

}  // namespace lx40
