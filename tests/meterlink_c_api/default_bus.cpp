// The simulated bus the C program finds: built before main, so the C
// program itself needs nothing but mlink.h. Two meters, "A12345678" and
// "B23456789" (the default topology).
#include "meter/meter_attach.h"

namespace {

const bool kBusBuilt = [] {
  usbsim::BuildDefaultTopology();
  return true;
}();

}  // namespace
