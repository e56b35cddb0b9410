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

int32_t ListPlaces(std::vector<mlink_meter_place>* places) {
  places->clear();
  size_t found = 0;
  int32_t rc = mlink_enumerate_places(nullptr, 0, &found);
  for (int attempt = 0; rc == MLINK_OK && attempt < kListTries; ++attempt) {
    std::vector<mlink_meter_place> listed(found + kSpareEntries);
    rc = mlink_enumerate_places(listed.data(), listed.size(), &found);
    if (rc == MLINK_OK && found <= listed.size()) {
      listed.resize(found);
      std::erase_if(listed, [](const mlink_meter_place& place) {
        return (place.flags & MLINK_INFO_NEEDS_REPLUG) != 0;
      });
      *places = std::move(listed);
      return MLINK_OK;
    }
  }
  return rc == MLINK_OK ? MLINK_ERR_BUFFER_TOO_SMALL : rc;
}

std::vector<mlink_meter_place> SelectPlaces(const std::vector<mlink_meter_place>& attached,
                                            const std::vector<std::string>& serials,
                                            std::vector<std::string>* missing) {
  missing->clear();
  if (serials.empty()) return attached;
  std::vector<mlink_meter_place> chosen;
  std::vector<std::string> seen;
  for (const std::string& typed : serials) {
    // A serial number as the user sees it, "\xNN" for a byte outside
    // printable ASCII, or as the bytes themselves.
    const std::optional<std::string> serial = devtext::Unescape(typed);
    const std::string named = serial ? devtext::Escaped(*serial) : typed;
    if (std::find(seen.begin(), seen.end(), named) != seen.end()) continue;
    seen.push_back(named);
    bool any = false;
    for (const mlink_meter_place& place : attached) {
      if (!serial || (place.info.flags & MLINK_INFO_SERIAL_CUT) != 0 ||
          *serial != place.info.serial)
        continue;
      chosen.push_back(place);
      any = true;
    }
    if (!any) missing->push_back(named);
  }
  return chosen;
}

std::vector<std::string> SharedSerialWarnings(const std::vector<mlink_meter_place>& places) {
  std::vector<std::string> warnings;
  std::vector<std::string> done;
  for (const mlink_meter_place& place : places) {
    const std::string serial = place.info.serial;
    if (serial.empty() || std::find(done.begin(), done.end(), serial) != done.end()) continue;
    done.push_back(serial);
    std::vector<std::string> ports;
    for (const mlink_meter_place& other : places) {
      if (serial == other.info.serial) ports.emplace_back(other.port);
    }
    if (ports.size() < 2) continue;
    std::string list;
    for (const std::string& port : ports) list += (list.empty() ? "" : ", ") + port;
    const std::string times = ports.size() == 2 ? "twice" : std::to_string(ports.size()) + " times";
    warnings.push_back(devtext::ForDisplay(serial) + " appears " + times + " (ports " + list + ")");
  }
  return warnings;
}

namespace {

int Refuse(const std::string& name, int32_t code) {
  std::fprintf(stderr, "%s: %s\n", name.c_str(), MeterMessage(code).c_str());
  return code == MLINK_ERR_NO_SUCH_METER ? kExitNoMeter : kExitUnitFailed;
}

}  // namespace

std::string ShownSerial(const std::string& typed) {
  return devtext::Escaped(devtext::Unescape(typed).value_or(typed));
}

int OpenNamedMeter(const std::string& typed, const std::string& port, mlink_meter** meter) {
  *meter = nullptr;
  const std::optional<std::string> unescaped = devtext::Unescape(typed);
  if (!unescaped) {
    std::fprintf(stderr, "%s: not a serial number: a backslash must start \\xNN\n",
                 devtext::ForDisplay(typed).c_str());
    return kExitBadInput;
  }
  const std::string& serial = *unescaped;
  if (serial.find('\0') != std::string::npos)
    return Refuse(ShownSerial(typed), MLINK_ERR_NO_SUCH_METER);
  if (!port.empty()) {
    const int32_t opened = mlink_open_port(port.c_str(), meter);
    if (opened != MLINK_OK) return Refuse("port " + port, opened);
    mlink_meter_info info{};
    if (!serial.empty() && (mlink_get_info(*meter, &info) != MLINK_OK || serial != info.serial)) {
      std::fprintf(stderr, "%s: the meter at port %s has serial number %s\n",
                   devtext::ForDisplay(serial).c_str(), port.c_str(),
                   devtext::ForDisplay(info.serial).c_str());
      mlink_close(*meter);
      *meter = nullptr;
      return kExitNoMeter;
    }
    return 0;
  }
  std::vector<mlink_meter_place> places;
  const int32_t listed = ListPlaces(&places);
  if (listed != MLINK_OK) return Refuse(ShownSerial(typed), listed);
  std::vector<std::string> missing;
  const std::vector<mlink_meter_place> named = SelectPlaces(places, {typed}, &missing);
  if (named.size() > 1) {
    std::string ports;
    for (const mlink_meter_place& place : named)
      ports += (ports.empty() ? "" : ", ") + std::string(place.port);
    std::fprintf(stderr,
                 "%s: ambiguous: %zu meters answer with this serial number (ports %s); choose "
                 "one with --port\n",
                 devtext::ForDisplay(serial).c_str(), named.size(), ports.c_str());
    return kExitBadInput;
  }
  // The one listed is opened where it was listed; a serial not listed is
  // asked for once more as such (it may be open here, or just plugged in).
  const int32_t opened = named.size() == 1
                             ? mlink_open_path(named[0].path, named[0].generation, meter)
                             : mlink_open(serial.c_str(), meter);
  return opened == MLINK_OK ? 0 : Refuse(ShownSerial(typed), opened);
}

}  // namespace lx40
