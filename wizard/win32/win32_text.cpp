#include "win32_text.h"

#include <windows.h>

#include <climits>

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  return narrow;
}

std::wstring LoadWideString(unsigned id) {
  // With a zero buffer size LoadStringW hands out a pointer into the loaded
  // string table itself, so an entry of any length comes back whole.
  const wchar_t* entry = nullptr;
  const int length =
      LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&entry), 0);
  if (length <= 0 || entry == nullptr) return {};
  return std::wstring(entry, static_cast<size_t>(length));
}
