// The real build: the end events come from Windows only.
#include "win32/end_event_hook.h"

namespace lx40::platform {

void StartEndEventHook(PHANDLER_ROUTINE, HWND) {}

}  // namespace lx40::platform
