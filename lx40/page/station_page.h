// lx40 station with --http: the station page listens before the station
// looks at any meter (a port in use is a bad input: exit 2), serves while
// the station runs, and stops with it.
#ifndef LX40_LX40_PAGE_STATION_PAGE_H
#define LX40_LX40_PAGE_STATION_PAGE_H

#include "command_station.h"

namespace lx40::page {

// The station's command: without --http, the station alone.
int RunStationWithPage(const station::StationOptions& options);

}  // namespace lx40::page

#endif
