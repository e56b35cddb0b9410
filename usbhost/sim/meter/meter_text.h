// Text handling of the meter firmware: how it cuts a command line into its
// command word and parameters, and the byte values of its line protocol.
#ifndef LX40_USBHOST_SIM_METER_METER_TEXT_H
#define LX40_USBHOST_SIM_METER_METER_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace usbsim {

inline constexpr uint8_t kLineFeed = 0x0A;        // ends every command line
inline constexpr uint8_t kCarriageReturn = 0x0D;  // ends every text reply
inline constexpr uint8_t kAck = 0x55;             // 'U': accepted
inline constexpr uint8_t kNak = 0x15;             // refused

struct CommandLine {
  std::string_view word;    // up to the first ':' (the whole text without one)
  std::string_view params;  // after the first ':' (empty without one)
  bool has_params = false;  // a ':' was present, even with nothing after it
};

CommandLine SplitCommandLine(std::string_view text);

// Plain printable ASCII (0x20..0x7E) and not empty.
bool IsPrintableText(std::string_view text);

// The reply frame of a text answer: the text and CR.
std::string TextReply(std::string_view text);

}  // namespace usbsim

#endif
