// The meter lock's file on Windows: a file in one folder for the whole PC,
// opened with no sharing. A second open, by this program or any other, of
// any user or session, fails while it is open; CloseHandle releases it from
// any thread.
#include "lock_file.h"

#include <windows.h>
#include <process.h>
#include <sddl.h>

#include "win32/lock_folder_access.h"

namespace meterlink::lock_file {
namespace {

std::string Reason(DWORD error) {
  char text[256] = {};
  // English where the system has it (the detail texts are English), else
  // the system's own language.
  DWORD length = 0;
  for (const DWORD language :
       {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), static_cast<DWORD>(0)}) {
    length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                            error, language, text, sizeof text, nullptr);
    if (length > 0) break;
  }
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    text[--length] = '\0';
  }
  const std::string number = "Windows error " + std::to_string(error);
  return length == 0 ? number : std::string(text, length) + " (" + number + ")";
}

// The all-users data folder: %ProgramData%, or %ALLUSERSPROFILE% on systems
// that predate it; "" when the environment names neither.
std::string AllUsersFolder() {
  for (const char* name : {"ProgramData", "ALLUSERSPROFILE"}) {
    char value[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length > 0 && length < sizeof value) {
      std::string folder(value, length);
      while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
      if (!folder.empty()) return folder;
    }
  }
  return {};
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Makes `folder` with the access list `sddl` unless it is there; false with
// `failure` set when it is neither there nor could be made.
bool MakeFolder(const std::string& folder, const char* sddl, std::string& failure) {
  if (IsFolder(folder)) return true;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    failure = folder + ": its access list: " + Reason(GetLastError());
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const BOOL made = CreateDirectoryA(folder.c_str(), &attributes);
  const DWORD error = made ? ERROR_SUCCESS : GetLastError();
  LocalFree(descriptor);
  // Made meanwhile by another program: as good.
  if (made || (error == ERROR_ALREADY_EXISTS && IsFolder(folder))) return true;
  failure = folder + ": " + Reason(error);
  return false;
}

}  // namespace

std::string DefaultFolder() {
  const std::string base = AllUsersFolder();
  return base.empty() ? std::string() : base + "\\LX40\\locks";
}

bool MakeDefaultFolder(std::string& failure) {
  failure.clear();
  const std::string base = AllUsersFolder();
  if (base.empty()) {
    failure = "meter lock folder: the environment names no ProgramData folder";
    return false;
  }
  return MakeFolder(base + "\\LX40", kParentFolderAccess, failure) &&
         MakeFolder(DefaultFolder(), kLockFolderAccess, failure);
}

char PathSeparator() { return '\\'; }

long ProcessId() { return static_cast<long>(_getpid()); }

intptr_t TryLock(const std::string& path, std::string& failure) {
  failure.clear();
  // No sharing: while this handle is open, every other open of the file
  // fails, and reading is all the access the lock needs (a file another
  // user made is readable for everyone in the folder). The file stays when
  // closed: deleting it on close would let an open that meets the file
  // while it is being deleted fail with "access denied", not "held".
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Held by another open: the lock is taken. Anything else is a fault.
    if (error != ERROR_SHARING_VIOLATION) failure = path + ": " + Reason(error);
    return kNone;
  }
  return reinterpret_cast<intptr_t>(file);
}

void Unlock(intptr_t held, const std::string& path, bool remove) {
  CloseHandle(reinterpret_cast<HANDLE>(held));
  // This program's own file (a per-process name): nobody else opens it.
  if (remove) DeleteFileA(path.c_str());
}

}  // namespace meterlink::lock_file
