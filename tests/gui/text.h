// UTF-8 for what the driver prints and compares, UTF-16 for Win32.
#ifndef LX40_TESTS_GUI_TEXT_H
#define LX40_TESTS_GUI_TEXT_H

#include <string>

namespace gui {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace gui

#endif
