// Whether a stream is a terminal lx40 may rewrite in place, on POSIX
// systems.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace lx40::platform {

bool CanRewriteInPlace(std::FILE* stream) {
  const char* term = std::getenv("TERM");
  return isatty(fileno(stream)) && term != nullptr && std::strcmp(term, "dumb") != 0;
}

}  // namespace lx40::platform
