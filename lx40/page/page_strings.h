// The page's words in English and Japanese, from the shared string table
// (lx40_strings.inc), as the JSON of /api/strings:
// {"en": {"kPageReady": "ready", ...}, "ja": {...}}.
#ifndef LX40_LX40_PAGE_PAGE_STRINGS_H
#define LX40_LX40_PAGE_PAGE_STRINGS_H

#include <string>

namespace lx40::page {

std::string PageStringsJson();

}  // namespace lx40::page

#endif
