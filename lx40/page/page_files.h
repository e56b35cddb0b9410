// The files of the station page, built into the program (generated from
// lx40/page/assets at build time): nothing is read from the disk, nothing
// fetched from elsewhere.
#ifndef LX40_LX40_PAGE_PAGE_FILES_H
#define LX40_LX40_PAGE_PAGE_FILES_H

#include <string_view>

namespace lx40::page {

struct PageFile {
  std::string_view path;  // "/", "/station.css", "/station.js"
  std::string_view content_type;
  std::string_view body;
};

// The file served at `path`; null for any other path.
const PageFile* FindPageFile(std::string_view path);

}  // namespace lx40::page

#endif
