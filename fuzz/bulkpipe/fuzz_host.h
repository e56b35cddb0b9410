// A usbhost implementation that answers every call from the fuzz input, in
// call order: whether an open succeeds, whether a request succeeds, the
// bytes it returns and what *returned claims, the interface path. Once the
// input is used up every call fails, so one input drives a bounded walk.
#ifndef LX40_FUZZ_BULKPIPE_FUZZ_HOST_H
#define LX40_FUZZ_BULKPIPE_FUZZ_HOST_H

#include <cstddef>
#include <cstdint>
#include <set>

#include "fuzz_input.h"
#include "usbhost.h"

namespace fuzzhost {

using Input = fuzzsupport::FuzzInput;

struct State {
  Input input;
  std::set<usbhost_handle> open_handles;
  usbhost_handle next_handle = 4;
  uint64_t calls = 0;
};

State& TheState();

}  // namespace fuzzhost

#endif
