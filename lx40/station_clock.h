// Who and when, for the record: the computer's name and UTC timestamps.
#ifndef LX40_LX40_STATION_CLOCK_H
#define LX40_LX40_STATION_CLOCK_H

#include <chrono>
#include <string>

namespace lx40 {

// The computer's name ("" when the system does not say).
std::string StationName();

// "2026-12-10T06:50:12.345Z": UTC, ISO 8601, milliseconds.
std::string UtcTimestamp(std::chrono::system_clock::time_point when);

}  // namespace lx40

#endif
