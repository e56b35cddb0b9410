# Writes the C++ source that holds the station page's files (page_files.h),
# each as a raw string literal. Script mode, at build time:
#   cmake -DOUTPUT=<file.cpp> -DASSETS=<folder> -P embed_page_files.cmake
# path|file|content type (each one UTF-8 text)
set(_files
  "/|index.html|text/html"
  "/station.css|station.css|text/css"
  "/station.js|station.js|text/javascript")
set(_delimiter "lx40page")
set(_entries "")
foreach(_file IN LISTS _files)
  string(REPLACE "|" ";" _parts "${_file}")
  list(GET _parts 0 _path)
  list(GET _parts 1 _name)
  list(GET _parts 2 _type)
  file(READ "${ASSETS}/${_name}" _body)
  string(FIND "${_body}" ")${_delimiter}\"" _clash)
  if(NOT _clash EQUAL -1)
    message(FATAL_ERROR "${_name} holds the literal's delimiter )${_delimiter}\"")
  endif()
  string(APPEND _entries "    {\"${_path}\", \"${_type}; charset=utf-8\", R\"${_delimiter}(${_body})${_delimiter}\"},\n")
endforeach()
set(_source "// Generated from lx40/page/assets by embed_page_files.cmake: do not edit.
#include \"page_files.h\"

namespace lx40::page {

namespace {

const PageFile kFiles[] = {
${_entries}};

}  // namespace

const PageFile* FindPageFile(std::string_view path) {
  for (const PageFile& file : kFiles) {
    if (file.path == path) return &file;
  }
  return nullptr;
}

}  // namespace lx40::page
")
# Written only when it changes, so nothing recompiles without need.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" _old)
  if(_old STREQUAL _source)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${_source}")
