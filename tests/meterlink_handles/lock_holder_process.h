// Starts lock_holder (beside the test program) as a Windows process of its
// own: it holds a meter's lock until Release() closes its stdin, and the
// lock is given back when it has ended.
#ifndef LX40_TESTS_METERLINK_HANDLES_LOCK_HOLDER_PROCESS_H
#define LX40_TESTS_METERLINK_HANDLES_LOCK_HOLDER_PROCESS_H

#include <windows.h>

#include <string>

namespace handletest {

class LockHolderProcess {
 public:
  // Starts the holder for `interfacePath` and waits for its first line:
  // "held" when it took the lock (see lock_holder.cpp).
  explicit LockHolderProcess(const std::string& interfacePath) {
    char self[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string program(self, length);
    program = program.substr(0, program.find_last_of("\\/") + 1) + "lock_holder.exe";
    std::string command = "\"" + program + "\" \"" + interfacePath + "\"";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!CreatePipe(&childIn, &toChild_, &inherit, 0)) return;
    if (!CreatePipe(&fromChild_, &childOut, &inherit, 0)) return;
    // Only the child's ends are inherited.
    SetHandleInformation(toChild_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    const BOOL ok = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &started);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!ok) return;
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    // Its first line; a holder that ends before writing one closes the
    // pipe, which ends the read.
    char c = 0;
    DWORD got = 0;
    while (ReadFile(fromChild_, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
      if (c != '\r') firstLine_ += c;
    }
  }
  ~LockHolderProcess() {
    Release();
    if (fromChild_ != nullptr) CloseHandle(fromChild_);
  }
  LockHolderProcess(const LockHolderProcess&) = delete;
  LockHolderProcess& operator=(const LockHolderProcess&) = delete;

  const std::string& firstLine() const { return firstLine_; }

  // Ends the holder (its stdin closes) and waits for it, at most a minute;
  // true when it ended.
  bool Release() {
    if (toChild_ != nullptr) {
      CloseHandle(toChild_);
      toChild_ = nullptr;
    }
    if (process_ == nullptr) return false;
    const bool ended = WaitForSingleObject(process_, 60000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process_, 1);
    CloseHandle(process_);
    process_ = nullptr;
    return ended;
  }

 private:
  HANDLE process_ = nullptr;
  HANDLE toChild_ = nullptr;
  HANDLE fromChild_ = nullptr;
  std::string firstLine_;
};

}  // namespace handletest

#endif
