#include "app_base.h"

#include <string_view>

namespace {

CAppBase* g_application = nullptr;

// The base name of the running executable, without its extension.
std::wstring ExecutableBaseName(HINSTANCE instance) {
  std::wstring path(MAX_PATH, L'\0');
  // Long paths: grow the buffer until the whole path fits (the limit of a
  // Windows path is 32767 characters).
  for (;;) {
    const DWORD length = GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot != 0) name.resize(dot);
  return name;
}

}  // namespace

CAppBase::CAppBase() { g_application = this; }

CAppBase::~CAppBase() {
  if (g_application == this) g_application = nullptr;
}

CAppBase* CAppBase::Current() { return g_application; }

int CAppBase::Run(HINSTANCE instance) {
  m_instance = instance;
  m_name = ExecutableBaseName(instance);
  InitInstance();
  return 0;
}

std::wstring AppName() {
  const CAppBase* app = CAppBase::Current();
  return app != nullptr ? app->Name() : std::wstring();
}

void AppMessageBox(HWND owner, const std::wstring& text) {
  const std::wstring caption = AppName();
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
}
