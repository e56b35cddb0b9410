// Ctrl+C and the requests to end on Windows: the console's Ctrl+C and
// Ctrl+Break; its close, logoff and shutdown events; and, because a program
// that loads user32 (Meterlink does, through SetupAPI) gets no console
// event at logoff and shutdown, WM_QUERYENDSESSION and WM_ENDSESSION at a
// hidden top-level window of its own thread. After a close, logoff or
// shutdown event the system ends the process as soon as the handler
// returns, and about 5 s after the event in any case: the handler waits for
// the stopped work (StoppedWorkIsOver), then lets the program end by itself
// and ends it with the work's status if it has not.
#include <windows.h>

#include <atomic>

#include "platform.h"
#include "win32/end_event_hook.h"

namespace lx40::platform {

namespace {

// What the system leaves a handler of an end event: about 5 s, less the
// time the process needs to end.
constexpr DWORD kEndWaitMs = 4500;
// How long the program gets to end by itself once its work is over.
constexpr DWORD kExitWaitMs = 500;

// Set before the handlers are installed; read on the handlers' threads.
std::atomic<void (*)()> g_on_interrupt{nullptr};
std::atomic<void (*)()> g_on_end{nullptr};
std::atomic<int> g_exit_status{1};
HANDLE g_work_over = nullptr;     // manual-reset event, set by StoppedWorkIsOver
HANDLE g_window_ready = nullptr;  // manual-reset event, set once the window is made (or not)
constexpr DWORD kWindowReadyWaitMs = 5000;

void RequestEnd() {
  if (void (*const on_end)() = g_on_end.load()) on_end();
}

// The system is about to end the process: stop the work and wait for its
// records, then end with its status.
void EndAfterWork() {
  RequestEnd();
  const ULONGLONG start = GetTickCount64();
  if (g_work_over == nullptr || WaitForSingleObject(g_work_over, kEndWaitMs) != WAIT_OBJECT_0) {
    return;  // out of time: what is not written is lost, as the stderr lines said
  }
  const ULONGLONG spent = GetTickCount64() - start;
  Sleep(spent + kExitWaitMs < kEndWaitMs ? kExitWaitMs : 0);
  ExitProcess(static_cast<UINT>(g_exit_status.load()));
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (void (*const on_interrupt)() = g_on_interrupt.load()) on_interrupt();
      return TRUE;  // handled: the process goes on and stops by itself
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      EndAfterWork();
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK OnSessionMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      RequestEnd();  // the session may end; the work stops now
      return TRUE;
    case WM_ENDSESSION:
      if (wparam != FALSE) EndAfterWork();
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

// The hidden window's thread: the window and its message loop.
DWORD WINAPI SessionWindowThread(LPVOID created) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = OnSessionMessage;
  window_class.hInstance = instance;
  window_class.lpszClassName = "lx40-session-end";
  RegisterClassA(&window_class);
  // A top-level window, never shown: message-only windows get no
  // WM_QUERYENDSESSION.
  const HWND window = CreateWindowExA(0, window_class.lpszClassName, "lx40", WS_OVERLAPPED, 0, 0, 0,
                                      0, nullptr, nullptr, instance, nullptr);
  *static_cast<HWND*>(created) = window;
  StartEndEventHook(OnConsoleControl, window);
  SetEvent(g_window_ready);
  if (window == nullptr) return 0;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

void WatchInterrupts(void (*on_interrupt)(), void (*on_end)()) {
  g_on_interrupt.store(on_interrupt);
  g_on_end.store(on_end);
  if (g_work_over == nullptr) g_work_over = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  static HWND window = nullptr;
  if (g_window_ready == nullptr) g_window_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const HANDLE thread = CreateThread(nullptr, 0, SessionWindowThread, &window, 0, nullptr);
  if (thread == nullptr) return;
  // A short run must not end while the thread is still making its window:
  // ending the process in the middle of that (under Wine, inside the
  // display driver) can kill it instead of letting it exit with its status.
  WaitForSingleObject(g_window_ready, kWindowReadyWaitMs);
  CloseHandle(thread);
}

void StoppedWorkIsOver(int exit_status) {
  g_exit_status.store(exit_status);
  if (g_work_over != nullptr) SetEvent(g_work_over);
}

}  // namespace lx40::platform
