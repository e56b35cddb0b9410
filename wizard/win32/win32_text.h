// Text helpers of the Windows program: UTF-8 (the portable wizard's text)
// to and from UTF-16 (the Windows API's), and string-table loading.
#ifndef LX40_WIZARD_WIN32_WIN32_TEXT_H
#define LX40_WIZARD_WIN32_WIN32_TEXT_H

#include <string>
#include <string_view>

// Invalid sequences become U+FFFD in either direction.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// String-table entry `id` of the executable, in the table the resource
// loader picks for the user-interface language; empty for an unknown id.
// Safe on any thread.
std::wstring LoadWideString(unsigned id);

#endif
