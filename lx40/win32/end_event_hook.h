// A way for tests to deliver the end events that Wine cannot send (the
// console's close, logoff and shutdown events, the end of the session):
// compiled into the simulator builds only; the real build's hook does
// nothing.
#ifndef LX40_LX40_WIN32_END_EVENT_HOOK_H
#define LX40_LX40_WIN32_END_EVENT_HOOK_H

#include <windows.h>

namespace lx40::platform {

// Called once the handlers are in place: `console` is the console's
// handler, `window` the hidden window that takes WM_QUERYENDSESSION and
// WM_ENDSESSION (null when it could not be made).
void StartEndEventHook(PHANDLER_ROUTINE console, HWND window);

}  // namespace lx40::platform

#endif
