/*
 * Result codes returned by every Meterlink export (a signed 32-bit integer).
 * The values are part of the binary interface: Sensorwiz maps them to its
 * messages, so they never change. They are defined once, in the public
 * header mlink.h (enum mlink_result); this header is kept for the code that
 * includes it by this name.
 */
#ifndef LX40_METERLINK_RESULT_CODES_H
#define LX40_METERLINK_RESULT_CODES_H

#include "mlink.h"

#endif
