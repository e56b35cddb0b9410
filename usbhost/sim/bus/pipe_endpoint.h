// What sits behind the two bulk pipes of a simulated device: the virtual
// LX40 meter, or a test's own double. The bus forwards every write on pipe 0
// and every read on pipe 1 of the device to its endpoint.
#ifndef LX40_USBHOST_SIM_BUS_PIPE_ENDPOINT_H
#define LX40_USBHOST_SIM_BUS_PIPE_ENDPOINT_H

#include <cstdint>

namespace usbsim {

class PipeEndpoint {
 public:
  virtual ~PipeEndpoint() = default;

  // The host wrote `size` bytes to pipe 0 in one transfer. Returning false
  // fails the host's write (for example: the device is unplugged).
  virtual bool OnHostWrite(const uint8_t* data, uint32_t size) = 0;

  // The host reads at most `size` bytes from pipe 1. Returning false fails
  // the host's read. Success with *done = 0 completes an idle read: the
  // device has nothing (more) to send. Must not block for long.
  virtual bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) = 0;
};

}  // namespace usbsim

#endif
