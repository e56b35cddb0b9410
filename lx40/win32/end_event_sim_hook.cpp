// The simulator builds: LX40_SIM_END_EVENT names an end event (close,
// logoff, shutdown: the console's; session: WM_QUERYENDSESSION then
// WM_ENDSESSION at the hidden window) and LX40_SIM_END_TRIGGER a file; once
// the file exists the event is delivered as Windows would deliver it, on a
// thread of its own. When the handler returns the process ends, as the
// system ends it (STATUS_CONTROL_C_EXIT), after a line on stderr.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/end_event_hook.h"

namespace lx40::platform {

namespace {

constexpr DWORD kPollMs = 20;

struct Hook {
  std::string event;
  std::string trigger;
  PHANDLER_ROUTINE console = nullptr;
  HWND window = nullptr;
};

DWORD WINAPI HookThread(LPVOID parameter) {
  const Hook* hook = static_cast<const Hook*>(parameter);
  while (GetFileAttributesA(hook->trigger.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(kPollMs);
  if (hook->event == "session") {
    if (hook->window == nullptr) {
      std::fprintf(stderr, "lx40: end event hook: no session window\n");
    } else {
      SendMessageA(hook->window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
      SendMessageA(hook->window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    }
  } else {
    const DWORD event = hook->event == "close"    ? CTRL_CLOSE_EVENT
                        : hook->event == "logoff" ? CTRL_LOGOFF_EVENT
                                                  : CTRL_SHUTDOWN_EVENT;
    hook->console(event);
  }
  std::fprintf(stderr, "lx40: end event hook: the handler returned; the system ends the process\n");
  std::fflush(stderr);
  ExitProcess(STATUS_CONTROL_C_EXIT);
  return 0;
}

}  // namespace

void StartEndEventHook(PHANDLER_ROUTINE console, HWND window) {
  const char* event = std::getenv("LX40_SIM_END_EVENT");
  const char* trigger = std::getenv("LX40_SIM_END_TRIGGER");
  if (event == nullptr || trigger == nullptr || *trigger == '\0') return;
  const std::string name = event;
  if (name != "close" && name != "logoff" && name != "shutdown" && name != "session") {
    std::fprintf(stderr, "lx40: LX40_SIM_END_EVENT must be close, logoff, shutdown or session\n");
    return;
  }
  // Lives as long as the process.
  Hook* hook = new Hook{name, trigger, console, window};
  const HANDLE thread = CreateThread(nullptr, 0, HookThread, hook, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

}  // namespace lx40::platform
