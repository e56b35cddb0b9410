// The pause a meter needs after storing a table before it takes the next
// table or command, as every program of ours takes it: MLINK_SETTLE_MS on
// real meters. A simulator build (tests, benchmarks, the demo) also takes
// LX40_SETTLE_MS from the environment, a whole number of milliseconds from 0
// to 600000; a real-meter build ignores the variable. A value of another
// form is refused with the same message in every program: the program says
// it and stops before any meter is touched.
#ifndef LX40_RESOURCES_SETTLE_TIME_H
#define LX40_RESOURCES_SETTLE_TIME_H

#include <chrono>
#include <string>

// The settle time; on a refused LX40_SETTLE_MS `error` holds the message
// (empty otherwise) and MLINK_SETTLE_MS is returned.
std::chrono::milliseconds SettleTime(std::string* error);

#endif
