// Assembling a meter command in a meter's command text buffer: the command
// word, then, when there are parameters, ":" and the parameters separated by
// ",". Internal to the library.
#ifndef LX40_METERLINK_COMMAND_TEXT_H
#define LX40_METERLINK_COMMAND_TEXT_H

#include <initializer_list>
#include <string_view>

#include "exchange.h"

namespace meterlink {

// Clears meter.command_text() and writes the command into it. Returns the
// text, or nullptr (buffer left empty) when it would not fit in the buffer
// with its NUL; a caller then sends nothing.
const char* AssembleCommand(Meter& meter, std::string_view word,
                            std::initializer_list<std::string_view> params = {});

}  // namespace meterlink

#endif
