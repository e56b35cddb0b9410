// Whether a stream is a console lx40 may rewrite in place, on Windows.
#include <io.h>
#include <windows.h>

#include "platform.h"

namespace lx40::platform {

bool CanRewriteInPlace(std::FILE* stream) {
  // _isatty is also true for the NUL device and for some pipes; only a
  // handle with a console mode is a console.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) return true;
  return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace lx40::platform
